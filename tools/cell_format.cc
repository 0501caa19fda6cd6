#include "tools/cell_format.h"

#include <algorithm>
#include <charconv>
#include <string>
#include <type_traits>

#include "host/field_types.h"
#include "host/fields.h"
#include "host/params.h"

namespace orv::orvsql {

namespace {

// Appends ".zzz" when the value has milliseconds.
std::string WithMillis(std::string text, TDateTime value) {
  int ms = DateTimeToTimeStamp(value).Time % 1000;
  if (ms != 0) {
    char buf[5] = {'.', char('0' + ms / 100), char('0' + ms / 10 % 10), char('0' + ms % 10), 0};
    text += buf;
  }
  return text;
}

}  // namespace

std::string FormatFloat(double value) {
  constexpr int kPlainLimit = 24;
  char buf[400];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
  if (ec == std::errc() && end - buf <= kPlainLimit) return std::string(buf, end);
  auto [end2, ec2] = std::to_chars(buf, buf + sizeof buf, value);
  return ec2 == std::errc() ? std::string(buf, end2) : std::string();
}

std::string FormatDateTimeCell(TDateTime value) {
  return WithMillis(FormatDateTime("yyyy-mm-dd hh:nn:ss", value), value);
}

std::string FormatDateCell(TDateTime value) { return FormatDateTime("yyyy-mm-dd", value); }

std::string FormatTimeCell(TDateTime value) {
  return WithMillis(FormatDateTime("hh:nn:ss", value), value);
}

namespace {

// The cell text of a value of type `type` read through `value`'s As...
// readers (a field's or a parameter's).
template <class V>
std::string FormatValue(TFieldType type, const V& value) {
  if (value.IsNull()) return std::string();
  switch (type) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
      return std::to_string(value.AsInteger());
    case ftLargeint:
      if constexpr (std::is_same_v<V, TField>) {
        if (auto* f = dynamic_cast<const TIntegerField*>(&value))
          return std::to_string(f->AsLargeInt());
      }
      return value.AsString();
    case ftFloat:
    case ftCurrency:
      return FormatFloat(value.AsFloat());
    case ftBoolean:
      return value.AsBoolean() ? "true" : "false";
    case ftDate:
      return FormatDateCell(value.AsDateTime());
    case ftTime:
      return FormatTimeCell(value.AsDateTime());
    case ftDateTime:
      return FormatDateTimeCell(value.AsDateTime());
    default:
      return value.AsString();
  }
}

}  // namespace

std::string FormatCell(const TField& field) { return FormatValue(field.DataType(), field); }

std::string FormatParamCell(const TParam& param) { return FormatValue(param.DataType(), param); }

bool IsNumericField(const TField& field) { return IsNumericType(field.DataType()); }

bool IsNumericType(TFieldType type) {
  switch (type) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
    case ftLargeint:
    case ftFloat:
    case ftCurrency:
    case ftBCD:
      return true;
    default:
      return false;
  }
}

int ColumnWidth(const TField& field) {
  if (IsBinaryField(field)) return 14;  // "<123456 bytes>"
  switch (field.DataType()) {
    case ftSmallint:
      return 6;
    case ftWord:
      return 5;
    case ftInteger:
    case ftAutoInc:
      return 11;
    case ftLargeint:
      return 20;
    case ftFloat:
    case ftCurrency:
    case ftBCD:
      return 12;
    case ftBoolean:
      return 5;
    case ftDate:
      return 10;
    case ftTime:
      return 8;
    case ftDateTime:
      return 19;
    case ftMemo:
    case ftFmtMemo:
      return kMaxTextWidth;
    default:
      return std::clamp(field.Size(), 1, kMaxTextWidth);
  }
}

bool IsTextField(const TField& field) {
  switch (field.DataType()) {
    case ftString:
    case ftFixedChar:
    case ftWideString:
    case ftMemo:
    case ftFmtMemo:
      return true;
    default:
      return false;
  }
}

bool IsBinaryField(const TField& field) {
  switch (field.DataType()) {
    case ftBlob:
    case ftGraphic:
    case ftBytes:
    case ftVarBytes:
    case ftTypedBinary:
      return true;
    default:
      return false;
  }
}

std::string CsvField(std::string_view text) {
  if (text.find_first_of("\",\r\n") == std::string_view::npos) return std::string(text);
  std::string out;
  out.reserve(text.size() + 2);
  out.push_back('"');
  for (char c : text) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}

}  // namespace orv::orvsql
