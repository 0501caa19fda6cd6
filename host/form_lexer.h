// TFormLexer: the tokens of a form file's text (see host/form_tree.h for the
// format).
//
// Tokens: identifiers (dotted names are one token), integers, floats,
// strings (quoted pieces and #codes written side by side make one token;
// '+' between strings is left to the parser), the symbols = : ( ) [ ] < > ,
// + and the end of the text. Blanks, tabs and line breaks (LF, CR LF or CR)
// separate tokens. Every token carries the line and byte column it starts
// at. A text that cannot be split into tokens raises EParserError naming
// the place.
//
// Reads a view of text it does not own; the text must outlive it. One
// thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "host/form_tree.h"

namespace orv {

enum class TFormTokenKind { kEnd, kIdent, kInteger, kFloat, kString, kSymbol };

struct TFormToken {
  TFormTokenKind kind = TFormTokenKind::kEnd;
  TFormPos pos;
  std::string text;  // kIdent: the name; kString: the bytes
  int64_t integer = 0;
  double real = 0.0;
  char symbol = 0;
};

class TFormLexer {
 public:
  // Reads the first token.
  explicit TFormLexer(std::string_view text);

  const TFormToken& Current() const { return token_; }
  // Moves to the next token.
  void Next();

  bool IsSymbol(char symbol) const {
    return token_.kind == TFormTokenKind::kSymbol && token_.symbol == symbol;
  }
  // An identifier equal to `word`, ASCII case ignored.
  bool IsWord(std::string_view word) const;

 private:
  TFormPos Here() const { return {line_, static_cast<int>(at_ - line_start_) + 1}; }
  bool AtEnd() const { return at_ >= text_.size(); }
  char Peek(size_t ahead = 0) const {
    return at_ + ahead < text_.size() ? text_[at_ + ahead] : '\0';
  }
  void SkipBlanks();
  void ReadIdent();
  void ReadNumber();
  void ReadString();
  // One #code of a string; the text stands on the '#'.
  char ReadCharCode();

  std::string_view text_;
  size_t at_ = 0;
  size_t line_start_ = 0;
  int line_ = 1;
  TFormToken token_;
};

}  // namespace orv
