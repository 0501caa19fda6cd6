#include "host/form_lexer.h"

#include <charconv>
#include <system_error>

#include "host/sysutils.h"

namespace orv {
namespace {

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(char c) {
  return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

std::string Shown(char c) {
  const auto byte = static_cast<unsigned char>(c);
  if (byte > 32 && byte < 127) return std::string("'") + c + "'";
  return "#" + std::to_string(byte);
}

}  // namespace

TFormLexer::TFormLexer(std::string_view text) : text_(text) { Next(); }

bool TFormLexer::IsWord(std::string_view word) const {
  return token_.kind == TFormTokenKind::kIdent && SameText(token_.text, word);
}

void TFormLexer::SkipBlanks() {
  while (!AtEnd()) {
    const char c = Peek();
    if (c == ' ' || c == '\t') {
      ++at_;
    } else if (c == '\n' || c == '\r') {
      ++at_;
      if (c == '\r' && Peek() == '\n') ++at_;
      ++line_;
      line_start_ = at_;
    } else {
      return;
    }
  }
}

void TFormLexer::Next() {
  SkipBlanks();
  token_ = TFormToken{};
  token_.pos = Here();
  if (AtEnd()) return;
  const char c = Peek();
  if (IsLetter(c)) return ReadIdent();
  if (IsDigit(c) || c == '$' || (c == '-' && (IsDigit(Peek(1)) || Peek(1) == '$')))
    return ReadNumber();
  if (c == '\'' || c == '#') return ReadString();
  static constexpr std::string_view kSymbols = "=:()[]<>,+";
  if (kSymbols.find(c) == std::string_view::npos)
    throw EParserError(token_.pos, "Unexpected character " + Shown(c));
  token_.kind = TFormTokenKind::kSymbol;
  token_.symbol = c;
  ++at_;
}

void TFormLexer::ReadIdent() {
  token_.kind = TFormTokenKind::kIdent;
  const size_t start = at_;
  for (;;) {
    while (IsLetter(Peek()) || IsDigit(Peek())) ++at_;
    if (Peek() != '.' || !IsLetter(Peek(1))) break;
    ++at_;
  }
  token_.text = std::string(text_.substr(start, at_ - start));
}

void TFormLexer::ReadNumber() {
  const size_t start = at_;
  const bool negative = Peek() == '-';
  if (negative) ++at_;
  std::errc error{};
  if (Peek() == '$') {
    ++at_;
    const size_t digits = at_;
    while (IsHexDigit(Peek())) ++at_;
    if (at_ == digits) throw EParserError(token_.pos, "Hexadecimal digits expected after '$'");
    uint64_t magnitude = 0;
    error = std::from_chars(text_.data() + digits, text_.data() + at_, magnitude, 16).ec;
    if (error == std::errc() && magnitude > static_cast<uint64_t>(INT64_MAX))
      error = std::errc::result_out_of_range;
    token_.kind = TFormTokenKind::kInteger;
    token_.integer = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
  } else {
    while (IsDigit(Peek())) ++at_;
    bool real = false;
    if (Peek() == '.' && IsDigit(Peek(1))) {
      real = true;
      ++at_;
      while (IsDigit(Peek())) ++at_;
    }
    const char e = Peek();
    const char after = Peek(1);
    if ((e == 'e' || e == 'E') &&
        (IsDigit(after) || ((after == '+' || after == '-') && IsDigit(Peek(2))))) {
      real = true;
      at_ += 2;
      while (IsDigit(Peek())) ++at_;
    }
    const char* first = text_.data() + start;
    const char* last = text_.data() + at_;
    if (real) {
      token_.kind = TFormTokenKind::kFloat;
      error = std::from_chars(first, last, token_.real).ec;
    } else {
      token_.kind = TFormTokenKind::kInteger;
      error = std::from_chars(first, last, token_.integer).ec;
    }
  }
  if (error != std::errc())
    throw EParserError(token_.pos, "Number " + std::string(text_.substr(start, at_ - start)) +
                                       " is out of range");
}

char TFormLexer::ReadCharCode() {
  const TFormPos pos = Here();
  ++at_;
  const bool hex = Peek() == '$';
  if (hex) ++at_;
  const size_t digits = at_;
  while (hex ? IsHexDigit(Peek()) : IsDigit(Peek())) ++at_;
  unsigned code = 256;
  if (at_ > digits && at_ - digits <= 3)
    std::from_chars(text_.data() + digits, text_.data() + at_, code, hex ? 16 : 10);
  if (at_ == digits) throw EParserError(pos, "Character code expected after '#'");
  if (code > 255) throw EParserError(pos, "Character code out of range");
  return static_cast<char>(code);
}

void TFormLexer::ReadString() {
  token_.kind = TFormTokenKind::kString;
  for (;;) {
    if (Peek() == '#') {
      token_.text += ReadCharCode();
    } else if (Peek() == '\'') {
      const TFormPos opened = Here();
      ++at_;
      for (;;) {
        if (AtEnd() || Peek() == '\n' || Peek() == '\r')
          throw EParserError(opened, "Unterminated string");
        if (Peek() == '\'') {
          ++at_;
          if (Peek() != '\'') break;
        }
        token_.text += Peek();
        ++at_;
      }
    } else {
      return;
    }
  }
}

}  // namespace orv
