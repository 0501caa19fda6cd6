// The syntax tree of a form file, and the text form it is read from and
// written to.
//
// A form file holds one root object; an object has a class, an optional
// name, properties and the objects it owns, nested:
//
//   object Data: TDataModule
//     object Query1: TOrvQuery
//       SQL.Strings = (
//         'select * from T')
//       ParamData = <
//         item
//           Name = 'A'
//         end>
//     end
//   end
//
// Values are integers (decimal, or hexadecimal after '$'), floats ("1.5",
// "2E-3"), strings ('it''s' with the quote doubled; #13 or #$0D for a byte
// by its code; pieces written side by side or joined by '+' make one
// string), identifiers (True, an enumeration value, a component's name,
// "Other.Name" for a component owned by another), sets ([a, b]), lists of
// values in parentheses and collections of items in angle brackets.
// Strings are bytes: anything but a line break and the quote stands in a
// quoted piece as it is, so non-ASCII text stays readable.
//
// ParseForm reads the tree, FormatForm writes it; the tree knows nothing of
// components (TReader and TWriter in host/filer.h map it to them). Every
// node keeps the line and column it began at, for the messages of the
// reader. Plain values and functions; any thread may use them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "exceptions.h"

#pragma GCC visibility push(default)
namespace orv {

// Where a node begins: 1-based line and byte column; 0 when unknown.
struct TFormPos {
  int line = 0;
  int column = 0;
};

// A form file could not be read or written. The message names the line and
// column when they are known: "Line 3, column 7: Unterminated string".
class EFilerError : public Exception {
 public:
  EFilerError(TFormPos pos, const std::string& text);
  TFormPos Pos() const { return pos_; }
  const std::string& Text() const { return text_; }

 private:
  TFormPos pos_;
  std::string text_;
};

// The text is not a well-formed form file.
class EParserError : public EFilerError {
 public:
  using EFilerError::EFilerError;
};

enum class TFormValueKind { kInteger, kFloat, kString, kIdent, kSet, kList, kCollection };

struct TFormProperty;

// One item of a collection: its properties.
struct TFormItem {
  TFormPos pos;
  std::vector<TFormProperty> properties;
};

struct TFormValue {
  TFormValueKind kind = TFormValueKind::kInteger;
  TFormPos pos;
  int64_t integer = 0;
  double real = 0.0;
  std::string text;                   // kString: the bytes; kIdent: the name
  std::vector<std::string> names;     // kSet: the members
  std::vector<TFormValue> items;      // kList
  std::vector<TFormItem> collection;  // kCollection

  static TFormValue Integer(int64_t value);
  static TFormValue Float(double value);
  static TFormValue String(std::string value);
  static TFormValue Ident(std::string name);
  static TFormValue Set(std::vector<std::string> members);
  static TFormValue List(std::vector<TFormValue> items);
  static TFormValue Collection(std::vector<TFormItem> items);
};

struct TFormProperty {
  TFormPos pos;
  std::string name;  // may be dotted: "SQL.Strings"
  TFormValue value;
};

struct TFormObject {
  TFormPos pos;
  std::string name;  // may be empty
  std::string class_name;
  std::vector<TFormProperty> properties;
  std::vector<TFormObject> children;
};

// Objects, lists and collections nest at most this deep.
inline constexpr int kMaxFormDepth = 32;

// Reads the one root object of `text`; raises EParserError.
TFormObject ParseForm(std::string_view text);

// The text of `root`, indented two blanks per level, lines ended by LF.
// The same tree always gives the same text. Raises EFilerError for a float
// that has no text form (infinite or not a number).
std::string FormatForm(const TFormObject& root);

}  // namespace orv
#pragma GCC visibility pop
