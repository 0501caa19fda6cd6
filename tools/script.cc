#include "tools/script.h"

#include "host/sysutils.h"
#include "tools/command_args.h"

namespace orv::orvsql {

namespace {

bool Blank(std::string_view s) { return Trim(s).empty(); }

}  // namespace

std::vector<std::string> SplitScript(std::string_view text) {
  std::vector<std::string> out;
  std::string current;
  auto finish = [&]() {
    if (!Blank(current)) out.push_back(TrimRight(current));
    current.clear();
  };
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    std::string trimmed = Trim(line);
    if (trimmed == ";" || trimmed == "/") {
      finish();
      continue;
    }
    if (IsCommandLine(trimmed)) {
      finish();
      out.push_back(std::move(trimmed));
      continue;
    }
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    current.append(line);
    current.push_back('\n');
  }
  finish();
  return out;
}

bool IsQuery(std::string_view sql) {
  size_t i = 0;
  while (i < sql.size()) {
    unsigned char c = static_cast<unsigned char>(sql[i]);
    if (c <= ' ' || c == '(') {
      ++i;
    } else if (sql.substr(i, 2) == "--") {
      size_t end = sql.find('\n', i);
      i = end == std::string_view::npos ? sql.size() : end + 1;
    } else if (sql.substr(i, 2) == "/*") {
      size_t end = sql.find("*/", i + 2);
      i = end == std::string_view::npos ? sql.size() : end + 2;
    } else {
      break;
    }
  }
  size_t start = i;
  while (i < sql.size() && ((sql[i] >= 'a' && sql[i] <= 'z') || (sql[i] >= 'A' && sql[i] <= 'Z')))
    ++i;
  std::string_view word = sql.substr(start, i - start);
  return SameText(word, "select") || SameText(word, "with");
}

TransactionCommand TransactionCommandOf(std::string_view sql) {
  std::string text = Trim(sql);
  if (!text.empty() && text.back() == ';') text = TrimRight(text.substr(0, text.size() - 1));
  // Words separated by any run of blanks.
  std::string words;
  for (char c : text) {
    bool blank = static_cast<unsigned char>(c) <= ' ';
    if (!blank) {
      words.push_back(c);
    } else if (!words.empty() && words.back() != ' ') {
      words.push_back(' ');
    }
  }
  if (SameText(words, "begin") || SameText(words, "begin transaction") ||
      SameText(words, "start transaction"))
    return TransactionCommand::kBegin;
  if (SameText(words, "commit")) return TransactionCommand::kCommit;
  if (SameText(words, "rollback")) return TransactionCommand::kRollback;
  return TransactionCommand::kNone;
}

std::optional<std::string> StatementCollector::AddLine(std::string_view line) {
  std::string trimmed = TrimRight(line);
  if (trimmed.empty() && text_.empty()) return std::nullopt;
  if (trimmed.empty() || trimmed.back() != ';') {
    text_.append(line);
    text_.push_back('\n');
    return std::nullopt;
  }
  trimmed.pop_back();
  text_.append(trimmed);
  std::string statement;
  statement.swap(text_);
  if (Blank(statement)) return std::nullopt;
  return TrimRight(statement);
}

std::optional<std::string> StatementCollector::TakeRest() {
  std::string rest;
  rest.swap(text_);
  if (Blank(rest)) return std::nullopt;
  return TrimRight(rest);
}

}  // namespace orv::orvsql
