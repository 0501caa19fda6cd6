#include "tools/command_args.h"

#include "host/sysutils.h"

namespace orv::orvsql {

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

void SkipBlanks(std::string_view& s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
}

// Reads one value at the start of `s` (blanks already skipped).
std::optional<Value> ReadValue(std::string_view& s, std::string& error) {
  if (!s.empty() && s.front() == '\'') {
    std::string text;
    size_t i = 1;
    for (;; ++i) {
      if (i >= s.size()) {
        error = "the text " + std::string(s) + " has no closing quote";
        return std::nullopt;
      }
      if (s[i] != '\'') {
        text.push_back(s[i]);
      } else if (i + 1 < s.size() && s[i + 1] == '\'') {
        text.push_back('\'');
        ++i;
      } else {
        break;
      }
    }
    s.remove_prefix(i + 1);
    if (!s.empty() && !IsBlank(s.front())) {
      error = "a blank must follow the quoted text '" + text + "'";
      return std::nullopt;
    }
    return Value(std::move(text));
  }
  size_t end = 0;
  while (end < s.size() && !IsBlank(s[end])) ++end;
  std::string word(s.substr(0, end));
  s.remove_prefix(end);
  if (SameText(word, "null")) return Value();
  return Value(std::move(word));
}

// The words of `text` with their places; quoted parts ('...' or "...")
// belong to the word they stand in.
struct Word {
  size_t start, end;
};
std::vector<Word> Words(std::string_view text) {
  std::vector<Word> words;
  size_t i = 0;
  while (i < text.size()) {
    if (IsBlank(text[i])) {
      ++i;
      continue;
    }
    Word w{i, i};
    char quote = 0;
    while (i < text.size() && (quote != 0 || !IsBlank(text[i]))) {
      if (quote == 0 && (text[i] == '\'' || text[i] == '"')) {
        quote = text[i];
      } else if (text[i] == quote) {
        quote = 0;
      }
      ++i;
    }
    w.end = i;
    words.push_back(w);
  }
  return words;
}

}  // namespace

bool IsCommandLine(std::string_view line) {
  SkipBlanks(line);
  return !line.empty() && line.front() == '\\';
}

CommandLine SplitCommand(std::string_view line) {
  SkipBlanks(line);
  size_t end = 0;
  while (end < line.size() && !IsBlank(line[end])) ++end;
  return {std::string(line.substr(0, end)), Trim(line.substr(end))};
}

std::optional<std::vector<Assignment>> ParseAssignments(std::string_view text,
                                                        std::string& error) {
  std::vector<Assignment> out;
  for (SkipBlanks(text); !text.empty(); SkipBlanks(text)) {
    size_t eq = 0;
    while (eq < text.size() && text[eq] != '=' && !IsBlank(text[eq])) ++eq;
    if (eq == 0 || eq == text.size() || text[eq] != '=') {
      size_t end = 0;
      while (end < text.size() && !IsBlank(text[end])) ++end;
      error = "FIELD=VALUE wanted, not '" + std::string(text.substr(0, end)) + "'";
      return std::nullopt;
    }
    Assignment a;
    a.field = std::string(text.substr(0, eq));
    text.remove_prefix(eq + 1);
    std::optional<Value> v = ReadValue(text, error);
    if (!v) return std::nullopt;
    a.value = std::move(*v);
    for (const Assignment& b : out) {
      if (SameText(b.field, a.field)) {
        error = "the field " + a.field + " is named twice";
        return std::nullopt;
      }
    }
    out.push_back(std::move(a));
  }
  if (out.empty()) {
    error = "FIELD=VALUE wanted";
    return std::nullopt;
  }
  return out;
}

std::optional<std::vector<Value>> ParseValues(std::string_view text, std::string& error) {
  std::vector<Value> out;
  for (SkipBlanks(text); !text.empty(); SkipBlanks(text)) {
    std::optional<Value> v = ReadValue(text, error);
    if (!v) return std::nullopt;
    out.push_back(std::move(*v));
  }
  return out;
}

std::vector<std::string> TakeFlags(std::string& text, const std::vector<std::string>& allowed) {
  std::vector<std::string> flags;
  for (;;) {
    std::string rest = text;
    std::string word = TakeWord(rest);
    bool known = false;
    for (const std::string& a : allowed) known = known || word == a;
    if (!known) return flags;
    flags.push_back(word);
    text = rest;
  }
}

std::string TakeWord(std::string& text) {
  std::string_view s = text;
  SkipBlanks(s);
  size_t end = 0;
  while (end < s.size() && !IsBlank(s[end])) ++end;
  std::string word(s.substr(0, end));
  text = Trim(s.substr(end));
  return word;
}

std::optional<EditTarget> ParseEditTarget(std::string_view text, std::string& error) {
  const std::vector<Word> words = Words(text);
  auto word = [&](size_t i) { return text.substr(words[i].start, words[i].end - words[i].start); };
  auto fail = [&]() -> std::optional<EditTarget> {
    error = "\\edit wants TABLE [WHERE condition] [ORDER BY fields]";
    return std::nullopt;
  };
  if (words.empty()) return fail();
  EditTarget t;
  t.table = std::string(word(0));
  size_t order = words.size();
  for (size_t i = words.size(); i-- > 1;)
    if (i + 1 < words.size() && SameText(word(i), "order") && SameText(word(i + 1), "by")) {
      order = i;
      break;
    }
  const bool where = words.size() > 1 && SameText(word(1), "where");
  if (words.size() > 1 && !where && order != 1) return fail();
  if (where) {
    const size_t end = order < words.size() ? words[order].start : text.size();
    t.condition = Trim(text.substr(words[1].end, end - words[1].end));
    if (t.condition.empty()) return fail();
  }
  if (order < words.size()) {
    std::string_view list = text.substr(words[order + 1].end);
    std::string fields;
    for (;;) {
      size_t comma = list.find(',');
      std::string name = Trim(list.substr(0, comma));
      if (name.empty()) return fail();
      if (!fields.empty()) fields += ';';
      fields += name;
      if (comma == std::string_view::npos) break;
      list.remove_prefix(comma + 1);
    }
    t.index_fields = std::move(fields);
  }
  return t;
}

}  // namespace orv::orvsql
