#include "host/published_props.h"

#include <cmath>

#include "host/sysutils.h"

namespace orv {

int TIntegerCodec::Decode(const TFormValue& value, const TPropInfo& property, TReader&) const {
  if (value.kind != TFormValueKind::kInteger) WrongValue(value, property, "an integer");
  if (value.integer < std::numeric_limits<int>::min() ||
      value.integer > std::numeric_limits<int>::max())
    WrongValue(value, property, "a 32-bit integer");
  return static_cast<int>(value.integer);
}

bool TBooleanCodec::Decode(const TFormValue& value, const TPropInfo& property, TReader&) const {
  if (value.kind == TFormValueKind::kIdent) {
    if (SameText(value.text, "True")) return true;
    if (SameText(value.text, "False")) return false;
  }
  WrongValue(value, property, "True or False");
}

std::string TStringCodec::Decode(const TFormValue& value, const TPropInfo& property,
                                 TReader&) const {
  if (value.kind != TFormValueKind::kString) WrongValue(value, property, "a string");
  return value.text;
}

int TNamesCodec::Ordinal(const TFormValue& value, const std::string& name,
                         const TPropInfo& property) const {
  for (size_t i = 0; i < names.size(); ++i) {
    if (SameText(names[i], name)) return static_cast<int>(i);
  }
  std::string known;
  for (const std::string& n : names) known += (known.empty() ? "" : ", ") + n;
  WrongValue(value, property, "one of " + known);
}

const std::string& TNamesCodec::NameOf(int ordinal) const {
  if (ordinal < 0 || static_cast<size_t>(ordinal) >= names.size())
    throw EFilerError({}, "value " + std::to_string(ordinal) + " has no name");
  return names[static_cast<size_t>(ordinal)];
}

TFormValue TSetCodec::Encode(uint32_t value) const {
  const uint32_t named = names.size() >= 32 ? ~uint32_t{0} : (uint32_t{1} << names.size()) - 1;
  if ((value & ~named) != 0) throw EFilerError({}, "the set holds a value that has no name");
  std::vector<std::string> members;
  for (size_t i = 0; i < names.size() && i < 32; ++i) {
    if (value & (uint32_t{1} << i)) members.push_back(names[i]);
  }
  return TFormValue::Set(std::move(members));
}

uint32_t TSetCodec::Decode(const TFormValue& value, const TPropInfo& property, TReader&) const {
  if (value.kind != TFormValueKind::kSet) WrongValue(value, property, "a set");
  uint32_t mask = 0;
  for (const std::string& member : value.names) mask |= uint32_t{1} << Ordinal(value, member, property);
  return mask;
}

TFormValue TVariantCodec::Encode(const Variant& value) const {
  switch (value.VarType()) {
    case varNull:
      return TFormValue::Ident("Null");
    case varBoolean:
      return TFormValue::Ident(value.AsBoolean() ? "True" : "False");
    case varInteger:
    case varInt64:
      return TFormValue::Integer(value.AsInt64());
    case varDouble:
    case varDate:
      // A date goes as its day number; the parameter's data type makes it
      // a date again when it is read.
      if (!std::isfinite(value.AsFloat())) break;
      return TFormValue::Float(value.AsFloat());
    case varString:
      return TFormValue::String(value.AsString());
    default:
      break;
  }
  throw EFilerError({}, "a value of this kind cannot be stored");
}

Variant TVariantCodec::Decode(const TFormValue& value, const TPropInfo& property, TReader&) const {
  switch (value.kind) {
    case TFormValueKind::kInteger:
      if (value.integer >= std::numeric_limits<int32_t>::min() &&
          value.integer <= std::numeric_limits<int32_t>::max())
        return Variant(static_cast<int32_t>(value.integer));
      return Variant(value.integer);
    case TFormValueKind::kFloat:
      return Variant(value.real);
    case TFormValueKind::kString:
      return Variant(value.text);
    case TFormValueKind::kIdent:
      if (SameText(value.text, "Null")) return Variant::Null();
      if (SameText(value.text, "True")) return Variant(true);
      if (SameText(value.text, "False")) return Variant(false);
      break;
    default:
      break;
  }
  WrongValue(value, property, "a number, a string, True, False or Null");
}

}  // namespace orv
