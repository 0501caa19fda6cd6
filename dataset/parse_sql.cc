// ParseSQL: finding ":name" placeholders and rewriting them as "@name".
//
// The scan walks the text once. Apostrophes, double quotes and grave
// accents toggle one literal flag (any of them closes a literal opened by
// another), and no colon inside a literal starts a parameter. Outside
// literals ":" + name is a placeholder; the name runs to the next blank,
// comma, semicolon, closing parenthesis, CR or LF (a quoted name may hold
// those), and a name quoted right after the colon loses its quotes. "::"
// outside literals becomes a plain ":". The host here has no double-byte
// lead bytes, so every byte is a character of its own.
#include <string>

#include "dataset/orv_dataset.h"

namespace orv {
namespace {

bool IsLiteral(char c) { return c == '\'' || c == '"' || c == '`'; }

bool IsNameDelimiter(char c) {
  return c == ' ' || c == ',' || c == ';' || c == ')' || c == '\r' || c == '\n';
}

}  // namespace

std::string TOrvDataSet::ParseSQL(const std::string& text, TParams* list) {
  if (list != nullptr) list->Clear();
  std::string out;
  out.reserve(text.size());
  bool literal = false;
  size_t i = 0;
  const size_t n = text.size();
  while (i < n) {
    const char c = text[i];
    const bool next_is_colon = i + 1 < n && text[i + 1] == ':';
    if (c == ':' && !literal && !next_is_colon) {
      size_t end = i + 1;
      bool quoted = false;
      for (; end < n; ++end) {
        const char d = text[end];
        if (IsLiteral(d)) {
          literal = !literal;
          if (end == i + 1) quoted = true;
        } else if (!literal && IsNameDelimiter(d)) {
          break;
        }
      }
      std::string name = text.substr(i + 1, end - i - 1);
      if (quoted) {
        if (!name.empty() && IsLiteral(name.front())) name.erase(0, 1);
        if (!name.empty() && IsLiteral(name.back())) name.pop_back();
      }
      if (list != nullptr) list->CreateParam(ftUnknown, name, ptUnknown);
      out += '@';
      out += name;
      if (end < n) out += text[end];
      i = end + 1;
      continue;
    }
    if (c == ':' && !literal && next_is_colon) {
      out += ':';
      i += 2;
      continue;
    }
    if (IsLiteral(c)) literal = !literal;
    out += c;
    ++i;
  }
  return out;
}

}  // namespace orv
