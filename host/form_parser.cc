// ParseForm: the form file's grammar over TFormLexer's tokens.
//
//   file       = object <end of text>
//   object     = "object" [name ":"] class { property | object } "end"
//   property   = name "=" value
//   value      = integer | float | string { "+" string } | identifier
//              | "[" [identifier { "," identifier }] "]"
//              | "(" { value } ")"
//              | "<" { "item" { property } "end" } ">"
//
// Keywords compare without ASCII case. Nesting is bounded by kMaxFormDepth,
// so no input can exhaust the stack. An unterminated object, list, set or
// collection is reported where it began, which is what a reader looks for
// when a file was cut short.
#include <utility>

#include "host/form_lexer.h"
#include "host/form_tree.h"

namespace orv {

EFilerError::EFilerError(TFormPos pos, const std::string& text)
    : Exception(pos.line > 0 ? "Line " + std::to_string(pos.line) + ", column " +
                                   std::to_string(pos.column) + ": " + text
                             : text),
      pos_(pos),
      text_(text) {}

TFormValue TFormValue::Integer(int64_t value) {
  TFormValue v;
  v.integer = value;
  return v;
}

TFormValue TFormValue::Float(double value) {
  TFormValue v;
  v.kind = TFormValueKind::kFloat;
  v.real = value;
  return v;
}

TFormValue TFormValue::String(std::string value) {
  TFormValue v;
  v.kind = TFormValueKind::kString;
  v.text = std::move(value);
  return v;
}

TFormValue TFormValue::Ident(std::string name) {
  TFormValue v;
  v.kind = TFormValueKind::kIdent;
  v.text = std::move(name);
  return v;
}

TFormValue TFormValue::Set(std::vector<std::string> members) {
  TFormValue v;
  v.kind = TFormValueKind::kSet;
  v.names = std::move(members);
  return v;
}

TFormValue TFormValue::List(std::vector<TFormValue> items) {
  TFormValue v;
  v.kind = TFormValueKind::kList;
  v.items = std::move(items);
  return v;
}

TFormValue TFormValue::Collection(std::vector<TFormItem> items) {
  TFormValue v;
  v.kind = TFormValueKind::kCollection;
  v.collection = std::move(items);
  return v;
}

namespace {

class TFormParser {
 public:
  explicit TFormParser(std::string_view text) : lexer_(text) {}

  TFormObject Root() {
    TFormObject root = Object(0);
    if (lexer_.Current().kind != TFormTokenKind::kEnd)
      Fail("Text after the end of the root object");
    return root;
  }

 private:
  [[noreturn]] void Fail(const std::string& text) {
    throw EParserError(lexer_.Current().pos, text);
  }
  void CheckDepth(int depth) {
    if (depth > kMaxFormDepth)
      Fail("Nested deeper than " + std::to_string(kMaxFormDepth) + " levels");
  }
  std::string Ident(const char* what) {
    if (lexer_.Current().kind != TFormTokenKind::kIdent) Fail(std::string(what) + " expected");
    std::string name = lexer_.Current().text;
    lexer_.Next();
    return name;
  }

  TFormObject Object(int depth) {
    CheckDepth(depth);
    TFormObject object;
    object.pos = lexer_.Current().pos;
    if (!lexer_.IsWord("object")) Fail("'object' expected");
    lexer_.Next();
    object.class_name = Ident("Class name");
    if (lexer_.IsSymbol(':')) {
      lexer_.Next();
      object.name = std::move(object.class_name);
      object.class_name = Ident("Class name");
    }
    for (;;) {
      if (lexer_.Current().kind == TFormTokenKind::kEnd) {
        const std::string shown =
            object.name.empty() ? object.class_name : object.name + ": " + object.class_name;
        throw EParserError(object.pos, "Unterminated object " + shown + " ('end' expected)");
      }
      if (lexer_.IsWord("end")) {
        lexer_.Next();
        return object;
      }
      if (lexer_.IsWord("object")) {
        object.children.push_back(Object(depth + 1));
      } else {
        object.properties.push_back(Property(depth));
      }
    }
  }

  TFormProperty Property(int depth) {
    TFormProperty property;
    property.pos = lexer_.Current().pos;
    property.name = Ident("Property name");
    if (!lexer_.IsSymbol('=')) Fail("'=' expected after " + property.name);
    lexer_.Next();
    property.value = Value(depth + 1);
    return property;
  }

  TFormValue Value(int depth) {
    CheckDepth(depth);
    const TFormToken& token = lexer_.Current();
    const TFormPos pos = token.pos;
    TFormValue value;
    switch (token.kind) {
      case TFormTokenKind::kInteger:
        value = TFormValue::Integer(token.integer);
        lexer_.Next();
        break;
      case TFormTokenKind::kFloat:
        value = TFormValue::Float(token.real);
        lexer_.Next();
        break;
      case TFormTokenKind::kIdent:
        // A value left out before the end of its object.
        if (lexer_.IsWord("end") || lexer_.IsWord("object")) Fail("Value expected");
        value = TFormValue::Ident(token.text);
        lexer_.Next();
        break;
      case TFormTokenKind::kString:
        value = TFormValue::String(token.text);
        lexer_.Next();
        while (lexer_.IsSymbol('+')) {
          lexer_.Next();
          if (lexer_.Current().kind != TFormTokenKind::kString) Fail("String expected after '+'");
          value.text += lexer_.Current().text;
          lexer_.Next();
        }
        break;
      case TFormTokenKind::kSymbol:
        if (token.symbol == '[') {
          value = Set(pos);
        } else if (token.symbol == '(') {
          value = List(pos, depth);
        } else if (token.symbol == '<') {
          value = Collection(pos, depth);
        } else {
          Fail("Value expected");
        }
        break;
      case TFormTokenKind::kEnd:
        Fail("Value expected");
    }
    value.pos = pos;
    return value;
  }

  TFormValue Set(TFormPos pos) {
    std::vector<std::string> members;
    lexer_.Next();
    while (!lexer_.IsSymbol(']')) {
      if (lexer_.Current().kind == TFormTokenKind::kEnd) throw EParserError(pos, "Unterminated set");
      if (!members.empty()) {
        if (!lexer_.IsSymbol(',')) Fail("',' or ']' expected");
        lexer_.Next();
      }
      members.push_back(Ident("Set member"));
    }
    lexer_.Next();
    return TFormValue::Set(std::move(members));
  }

  TFormValue List(TFormPos pos, int depth) {
    std::vector<TFormValue> items;
    lexer_.Next();
    while (!lexer_.IsSymbol(')')) {
      if (lexer_.Current().kind == TFormTokenKind::kEnd)
        throw EParserError(pos, "Unterminated list");
      items.push_back(Value(depth + 1));
    }
    lexer_.Next();
    return TFormValue::List(std::move(items));
  }

  TFormValue Collection(TFormPos pos, int depth) {
    std::vector<TFormItem> items;
    lexer_.Next();
    while (!lexer_.IsSymbol('>')) {
      if (lexer_.Current().kind == TFormTokenKind::kEnd)
        throw EParserError(pos, "Unterminated collection");
      TFormItem& item = items.emplace_back();
      item.pos = lexer_.Current().pos;
      if (!lexer_.IsWord("item")) Fail("'item' or '>' expected");
      lexer_.Next();
      while (!lexer_.IsWord("end")) {
        if (lexer_.Current().kind == TFormTokenKind::kEnd)
          throw EParserError(item.pos, "Unterminated item ('end' expected)");
        item.properties.push_back(Property(depth));
      }
      lexer_.Next();
    }
    lexer_.Next();
    return TFormValue::Collection(std::move(items));
  }

  TFormLexer lexer_;
};

}  // namespace

TFormObject ParseForm(std::string_view text) { return TFormParser(text).Root(); }

}  // namespace orv
