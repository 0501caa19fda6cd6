#include "server/pg_sql.h"
#include "server/words.h"

#include <algorithm>
#include <cctype>

namespace orv::server {

namespace {

bool NameStart(char c) {
  auto u = static_cast<unsigned char>(c);
  return std::isalpha(u) || c == '_' || u >= 0x80;
}
bool NameChar(char c) { return NameStart(c) || std::isdigit(static_cast<unsigned char>(c)); }
// Characters of an identifier or a number: a ':' or '@' right after one is
// not a placeholder (an array slice a[lo:hi], say).
bool WordChar(char c) { return NameChar(c) || c == '$'; }

// One statement being cut out of the text: its pieces of plain text and the
// placeholders between them.
class StatementBuilder {
 public:
  explicit StatementBuilder(std::string_view sql) : sql_(sql) {}

  void Placeholder(std::size_t begin, std::size_t end) { pieces_.push_back({begin, end}); }
  void Positional(int n) { max_positional_ = std::max(max_positional_, n); }
  void Significant() { significant_ = true; }

  // Ends the statement at `end` (exclusive) and appends it to *out unless it
  // held nothing but blanks and comments.
  void Finish(std::size_t end, std::vector<PgStatement>* out) {
    if (significant_) {
      PgStatement s;
      s.slots.resize(static_cast<std::size_t>(max_positional_));
      std::size_t at = start_;
      for (const Piece& p : pieces_) {
        s.text.append(sql_.substr(at, p.begin - at));
        std::string_view name = sql_.substr(p.begin, p.end - p.begin);
        auto it = std::find_if(s.slots.begin() + max_positional_, s.slots.end(),
                               [name](const std::string& slot) {
                                 return EqualNoCase(std::string_view(slot).substr(1), name.substr(1));
                               });
        std::size_t k = static_cast<std::size_t>(it - s.slots.begin());
        if (it == s.slots.end()) s.slots.emplace_back(name);
        s.text += "$" + std::to_string(k + 1);
        at = p.end;
      }
      s.text.append(sql_.substr(at, end - at));
      out->push_back(std::move(s));
    }
    pieces_.clear();
    max_positional_ = 0;
    significant_ = false;
    start_ = end + 1;
  }

 private:
  struct Piece {  // a placeholder: its ':' or '@' and the end of its name
    std::size_t begin, end;
  };
  std::string_view sql_;
  std::vector<Piece> pieces_;
  std::size_t start_ = 0;
  int max_positional_ = 0;
  bool significant_ = false;
};

// End of a quoted run opened at `open` by `quote`; a doubled quote stays
// inside, and so does a backslash-escaped character when `backslash` holds.
std::size_t SkipQuoted(std::string_view s, std::size_t open, char quote, bool backslash) {
  for (std::size_t i = open + 1; i < s.size(); ++i) {
    if (backslash && s[i] == '\\') {
      ++i;
    } else if (s[i] == quote) {
      if (i + 1 < s.size() && s[i + 1] == quote) {
        ++i;
      } else {
        return i + 1;
      }
    }
  }
  return s.size();
}

std::size_t SkipBlockComment(std::string_view s, std::size_t open) {
  int depth = 0;
  for (std::size_t i = open; i + 1 < s.size(); ++i) {
    if (s[i] == '/' && s[i + 1] == '*') {
      ++depth;
      ++i;
    } else if (s[i] == '*' && s[i + 1] == '/') {
      ++i;
      if (--depth == 0) return i + 1;
    }
  }
  return s.size();
}

// At a '$' that does not continue a word: the end of a dollar-quoted string
// when one opens here, else npos.
std::size_t SkipDollarQuoted(std::string_view s, std::size_t open) {
  std::size_t j = open + 1;
  if (j < s.size() && NameStart(s[j])) {
    while (j < s.size() && NameChar(s[j])) ++j;
  }
  if (j >= s.size() || s[j] != '$') return std::string_view::npos;
  std::string_view tag = s.substr(open, j - open + 1);
  std::size_t close = s.find(tag, j + 1);
  return close == std::string_view::npos ? s.size() : close + tag.size();
}

}  // namespace

std::vector<PgStatement> PgStatements(std::string_view sql) {
  std::vector<PgStatement> out;
  StatementBuilder st(sql);
  std::size_t i = 0;
  const std::size_t n = sql.size();
  auto next = [&](std::size_t k) { return k + 1 < n ? sql[k + 1] : '\0'; };
  while (i < n) {
    char c = sql[i];
    bool after_word = i > 0 && WordChar(sql[i - 1]);
    if (c == '\'') {
      bool escape = i > 0 && (sql[i - 1] == 'E' || sql[i - 1] == 'e') &&
                    (i < 2 || !WordChar(sql[i - 2]));
      i = SkipQuoted(sql, i, '\'', escape);
      st.Significant();
    } else if (c == '"') {
      i = SkipQuoted(sql, i, '"', false);
      st.Significant();
    } else if (c == '-' && next(i) == '-') {
      std::size_t eol = sql.find('\n', i);
      i = eol == std::string_view::npos ? n : eol + 1;
    } else if (c == '/' && next(i) == '*') {
      i = SkipBlockComment(sql, i);
    } else if (c == '$' && !after_word) {
      st.Significant();
      std::size_t j = i + 1;
      if (j < n && std::isdigit(static_cast<unsigned char>(sql[j]))) {
        int number = 0;
        for (; j < n && std::isdigit(static_cast<unsigned char>(sql[j])); ++j) {
          number = std::min(number * 10 + (sql[j] - '0'), 65535);
        }
        st.Positional(number);
        i = j;
      } else {
        std::size_t end = SkipDollarQuoted(sql, i);
        i = end == std::string_view::npos ? i + 1 : end;
      }
    } else if (c == ':' && next(i) == ':') {
      st.Significant();
      i += 2;
    } else if ((c == ':' || c == '@') && !after_word && NameStart(next(i))) {
      std::size_t end = i + 1;
      while (end < n && NameChar(sql[end])) ++end;
      st.Placeholder(i, end);
      st.Significant();
      i = end;
    } else if (c == ';') {
      st.Finish(i, &out);
      ++i;
    } else {
      if (!std::isspace(static_cast<unsigned char>(c))) st.Significant();
      ++i;
    }
  }
  st.Finish(n, &out);
  return out;
}

bool PgReadsOnly(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    if (std::isspace(static_cast<unsigned char>(text[i]))) {
      ++i;
    } else if (text.substr(i, 2) == "--") {
      std::size_t eol = text.find('\n', i);
      i = eol == std::string_view::npos ? text.size() : eol + 1;
    } else if (text.substr(i, 2) == "/*") {
      i = SkipBlockComment(text, i);
    } else {
      break;
    }
  }
  std::size_t end = i;
  while (end < text.size() && NameChar(text[end])) ++end;
  std::string_view word = text.substr(i, end - i);
  return EqualNoCase(word, "select") || EqualNoCase(word, "values") || EqualNoCase(word, "table");
}

bool PgLastSelectItem(std::string_view sql, std::size_t* begin, std::size_t* end,
                      std::string* table) {
  auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
  std::size_t i = 0;
  while (i < sql.size() && blank(sql[i])) ++i;
  if (!EqualNoCase(sql.substr(i, 6), "select")) return false;
  int depth = 0;
  std::size_t item = i + 6;
  for (i += 6; i < sql.size(); ++i) {
    char c = sql[i];
    if (c == '\'' || c == '"') {
      i = SkipQuoted(sql, i, c, false) - 1;
    } else if (c == '(') {
      ++depth;
    } else if (c == ')') {
      --depth;
    } else if (depth == 0 && c == ',') {
      item = i + 1;
    } else if (depth == 0 && !WordChar(sql[i - 1]) && EqualNoCase(sql.substr(i, 4), "from") &&
               (i + 4 == sql.size() || !WordChar(sql[i + 4]))) {
      *begin = item;
      while (*begin < i && blank(sql[*begin])) ++*begin;
      *end = i;
      while (*end > *begin && blank(sql[*end - 1])) --*end;
      std::size_t t = i + 4;
      while (t < sql.size() && blank(sql[t])) ++t;
      std::size_t u = t;
      while (u < sql.size() && !blank(sql[u]) && sql[u] != ';' && sql[u] != ',' &&
             sql[u] != ')') {
        u = sql[u] == '"' ? SkipQuoted(sql, u, '"', false) : u + 1;
      }
      *table = std::string(sql.substr(t, u - t));
      return *end > *begin && !table->empty();
    }
  }
  return false;
}

}  // namespace orv::server
