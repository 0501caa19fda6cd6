// FormatForm: the text of a form tree. Floats use the shortest text that
// reads back as the same double, with a point or an exponent so that they
// read back as floats; strings keep every byte but the control characters
// inside quotes, which go as #codes. Nothing depends on the locale, so the
// same tree always gives the same bytes.
#include <charconv>
#include <cmath>

#include "host/form_tree.h"

namespace orv {
namespace {

bool IsControl(unsigned char c) { return c < 32 || c == 127; }

std::string QuoteString(const std::string& text) {
  if (text.empty()) return "''";
  std::string out;
  bool quoted = false;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (IsControl(byte)) {
      if (quoted) out += '\'';
      quoted = false;
      out += '#' + std::to_string(byte);
      continue;
    }
    if (!quoted) out += '\'';
    quoted = true;
    out += c;
    if (c == '\'') out += '\'';
  }
  if (quoted) out += '\'';
  return out;
}

std::string FloatText(const TFormValue& value) {
  if (!std::isfinite(value.real))
    throw EFilerError(value.pos, "A float that is infinite or not a number cannot be written");
  char buffer[64];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value.real).ptr;
  std::string text(buffer, end);
  if (text.find_first_of(".e") == std::string::npos) text += ".0";
  return text;
}

class TFormFormatter {
 public:
  std::string Take() { return std::move(out_); }

  void Object(const TFormObject& object, int level) {
    Indent(level);
    out_ += "object ";
    if (!object.name.empty()) out_ += object.name + ": ";
    out_ += object.class_name + "\n";
    Properties(object.properties, level + 1);
    for (const TFormObject& child : object.children) Object(child, level + 1);
    Indent(level);
    out_ += "end\n";
  }

 private:
  void Indent(int level) { out_.append(static_cast<size_t>(level) * 2, ' '); }

  void Properties(const std::vector<TFormProperty>& properties, int level) {
    for (const TFormProperty& property : properties) {
      Indent(level);
      out_ += property.name + " = ";
      Value(property.value, level);
      out_ += '\n';
    }
  }

  // Writes `value` from the current place; what it continues on further
  // lines is indented one level deeper than `level`.
  void Value(const TFormValue& value, int level) {
    switch (value.kind) {
      case TFormValueKind::kInteger:
        out_ += std::to_string(value.integer);
        break;
      case TFormValueKind::kFloat:
        out_ += FloatText(value);
        break;
      case TFormValueKind::kString:
        out_ += QuoteString(value.text);
        break;
      case TFormValueKind::kIdent:
        out_ += value.text;
        break;
      case TFormValueKind::kSet:
        out_ += '[';
        for (size_t i = 0; i < value.names.size(); ++i) {
          if (i > 0) out_ += ", ";
          out_ += value.names[i];
        }
        out_ += ']';
        break;
      case TFormValueKind::kList:
        out_ += '(';
        for (const TFormValue& item : value.items) {
          out_ += '\n';
          Indent(level + 1);
          Value(item, level + 1);
        }
        out_ += ')';
        break;
      case TFormValueKind::kCollection:
        out_ += '<';
        for (const TFormItem& item : value.collection) {
          out_ += '\n';
          Indent(level + 1);
          out_ += "item\n";
          Properties(item.properties, level + 2);
          Indent(level + 1);
          out_ += "end";
        }
        out_ += '>';
        break;
    }
  }

  std::string out_;
};

}  // namespace

std::string FormatForm(const TFormObject& root) {
  TFormFormatter formatter;
  formatter.Object(root, 0);
  return formatter.Take();
}

}  // namespace orv
