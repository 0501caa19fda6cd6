#include "host/field_types.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "host/sysutils.h"

namespace orv {

// TStringField --------------------------------------------------------------------

TStringField::TStringField(TComponent* owner) : TField(owner) {
  SetDataType(ftString);
  SetSize(20);
}

std::string TStringField::AsString() const {
  if (std::string text; DataSetText(text)) return text;
  std::string buffer(static_cast<size_t>(DataSize()), '\0');
  if (!GetData(buffer.data())) return {};
  buffer.resize(std::strlen(buffer.c_str()));
  return buffer;
}

void TStringField::SetAsString(const std::string& value) {
  // Longer texts are cut to Size characters.
  std::string buffer(static_cast<size_t>(DataSize()), '\0');
  value.copy(buffer.data(), static_cast<size_t>(Size()));
  SetData(buffer.data());
}

int TStringField::AsInteger() const { return StrToInt(AsString()); }
void TStringField::SetAsInteger(int value) { SetAsString(IntToStr(value)); }
double TStringField::AsFloat() const { return StrToFloat(AsString()); }
void TStringField::SetAsFloat(double value) { SetAsString(FloatToStr(value)); }

bool TStringField::AsBoolean() const {
  const std::string text = AsString();
  return !text.empty() && std::strchr("TtYy", text[0]) != nullptr;
}

void TStringField::SetAsBoolean(bool value) { SetAsString(value ? "True" : "False"); }

Variant TStringField::AsVariant() const {
  return IsNull() ? Variant::Null() : Variant(AsString());
}

// TIntegerField -------------------------------------------------------------------

TIntegerField::TIntegerField(TComponent* owner) : TIntegerField(owner, ftInteger) {}

TIntegerField::TIntegerField(TComponent* owner, TFieldType type) : TField(owner) {
  SetDataType(type);
}

int TIntegerField::DataSize() const {
  switch (DataType()) {
    case ftSmallint:
    case ftWord:
      return 2;
    case ftLargeint:
      return 8;
    default:
      return 4;
  }
}

bool TIntegerField::ReadLargeInt(int64_t& value) const {
  switch (DataType()) {
    case ftSmallint: {
      int16_t native = 0;
      const bool present = GetData(&native);
      value = native;
      return present;
    }
    case ftWord: {
      uint16_t native = 0;
      const bool present = GetData(&native);
      value = native;
      return present;
    }
    case ftLargeint:
      value = 0;
      return GetData(&value);
    default: {
      int32_t native = 0;
      const bool present = GetData(&native);
      value = native;
      return present;
    }
  }
}

int64_t TIntegerField::AsLargeInt() const {
  int64_t value = 0;
  return ReadLargeInt(value) ? value : 0;
}

void TIntegerField::SetAsLargeInt(int64_t value) {
  int64_t low = std::numeric_limits<int32_t>::min();
  int64_t high = std::numeric_limits<int32_t>::max();
  if (DataType() == ftSmallint) {
    low = std::numeric_limits<int16_t>::min();
    high = std::numeric_limits<int16_t>::max();
  } else if (DataType() == ftWord) {
    low = 0;
    high = std::numeric_limits<uint16_t>::max();
  } else if (DataType() == ftLargeint) {
    low = std::numeric_limits<int64_t>::min();
    high = std::numeric_limits<int64_t>::max();
  }
  if (value < low || value > high) {
    DatabaseError(std::to_string(value) + " is not a valid value for field '" + DisplayName() +
                  "'. The allowed range is " + std::to_string(low) + " to " +
                  std::to_string(high));
  }
  switch (DataType()) {
    case ftSmallint: {
      const auto native = static_cast<int16_t>(value);
      SetData(&native);
      break;
    }
    case ftWord: {
      const auto native = static_cast<uint16_t>(value);
      SetData(&native);
      break;
    }
    case ftLargeint:
      SetData(&value);
      break;
    default: {
      const auto native = static_cast<int32_t>(value);
      SetData(&native);
      break;
    }
  }
}

// One read of the value answers both whether it is null and what it is.
std::string TIntegerField::AsString() const {
  if (std::string text; DataSetText(text)) return text;
  int64_t value = 0;
  return ReadLargeInt(value) ? IntToStr(value) : "";
}

void TIntegerField::SetAsString(const std::string& value) {
  const std::string text = Trim(value);
  if (text.empty()) {
    Clear();
  } else {
    SetAsLargeInt(StrToInt64(text));
  }
}

int TIntegerField::AsInteger() const { return static_cast<int>(AsLargeInt()); }
void TIntegerField::SetAsInteger(int value) { SetAsLargeInt(value); }
double TIntegerField::AsFloat() const { return static_cast<double>(AsLargeInt()); }

void TIntegerField::SetAsFloat(double value) {
  if (!std::isfinite(value) || std::fabs(value) > 9.2e18) InvalidValue(FloatToStr(value));
  SetAsLargeInt(std::llround(value));
}

Variant TIntegerField::AsVariant() const {
  if (IsNull()) return Variant::Null();
  if (DataType() == ftLargeint) return Variant(AsLargeInt());
  return Variant(AsInteger());
}

void TIntegerField::SetAsVariant(const Variant& value) {
  if (!value.IsNull() && !value.IsEmpty() && value.VarType() == varInt64) {
    SetAsLargeInt(value.AsInt64());
  } else {
    TField::SetAsVariant(value);
  }
}

// TBooleanField -------------------------------------------------------------------

TBooleanField::TBooleanField(TComponent* owner) : TField(owner) { SetDataType(ftBoolean); }

bool TBooleanField::AsBoolean() const {
  uint8_t value = 0;
  return GetData(&value) && value != 0;
}

void TBooleanField::SetAsBoolean(bool value) {
  const uint8_t native = value ? 1 : 0;
  SetData(&native);
}

std::string TBooleanField::AsString() const {
  if (std::string text; DataSetText(text)) return text;
  uint8_t value = 0;
  if (!GetData(&value)) return {};
  return value != 0 ? "True" : "False";
}

void TBooleanField::SetAsString(const std::string& value) {
  const std::string text = Trim(value);
  if (text.empty()) {
    Clear();
  } else if (std::strchr("TtYy", text[0]) != nullptr) {
    SetAsBoolean(true);
  } else if (std::strchr("FfNn", text[0]) != nullptr) {
    SetAsBoolean(false);
  } else {
    InvalidValue(value);
  }
}

Variant TBooleanField::AsVariant() const {
  return IsNull() ? Variant::Null() : Variant(AsBoolean());
}

// TFloatField ---------------------------------------------------------------------

TFloatField::TFloatField(TComponent* owner) : TFloatField(owner, ftFloat) {}

TFloatField::TFloatField(TComponent* owner, TFieldType type) : TField(owner) {
  SetDataType(type);
}

double TFloatField::AsFloat() const {
  double value = 0;
  return GetData(&value) ? value : 0.0;
}

void TFloatField::SetAsFloat(double value) { SetData(&value); }

int TFloatField::AsInteger() const {
  const double value = AsFloat();
  if (!(std::fabs(value) < 2147483648.0)) InvalidValue(FloatToStr(value));
  return static_cast<int>(std::lround(value));
}

std::string TFloatField::AsString() const {
  if (std::string text; DataSetText(text)) return text;
  double value = 0;
  return GetData(&value) ? FloatToStr(value) : "";
}

void TFloatField::SetAsString(const std::string& value) {
  const std::string text = Trim(value);
  if (text.empty()) {
    Clear();
  } else {
    SetAsFloat(StrToFloat(text));
  }
}

Variant TFloatField::AsVariant() const { return IsNull() ? Variant::Null() : Variant(AsFloat()); }

// TBytesField ---------------------------------------------------------------------

TBytesField::TBytesField(TComponent* owner) : TBytesField(owner, ftBytes) {}

TBytesField::TBytesField(TComponent* owner, TFieldType type) : TField(owner) {
  SetDataType(type);
  SetSize(16);
}

int TBytesField::DataSize() const { return DataType() == ftVarBytes ? Size() + 2 : Size(); }

std::string TBytesField::AsString() const {
  std::string buffer(static_cast<size_t>(DataSize()), '\0');
  if (!GetData(buffer.data())) return {};
  if (DataType() != ftVarBytes) return buffer;
  uint16_t length = 0;
  std::memcpy(&length, buffer.data(), 2);
  return buffer.substr(2, std::min<size_t>(length, static_cast<size_t>(Size())));
}

void TBytesField::SetAsString(const std::string& value) {
  if (static_cast<int>(value.size()) > Size()) InvalidValue(value);
  std::string buffer(static_cast<size_t>(DataSize()), '\0');
  if (DataType() == ftVarBytes) {
    const auto length = static_cast<uint16_t>(value.size());
    std::memcpy(buffer.data(), &length, 2);
    value.copy(buffer.data() + 2, value.size());
  } else {
    value.copy(buffer.data(), value.size());
  }
  SetData(buffer.data());
}

Variant TBytesField::AsVariant() const {
  return IsNull() ? Variant::Null() : Variant(AsString());
}

}  // namespace orv
