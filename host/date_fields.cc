// TDateTimeField and its date-only and time-only kinds.
#include <cmath>
#include <cstdint>

#include "host/field_types.h"
#include "host/sysutils.h"

namespace orv {

namespace {

// Reads `count` digits at `pos` of `text` into `value`; false when they are
// not all there.
bool ReadDigits(const std::string& text, size_t& pos, size_t count, int& value) {
  if (pos + count > text.size()) return false;
  value = 0;
  for (size_t i = 0; i < count; ++i) {
    const char c = text[pos + i];
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  pos += count;
  return true;
}

bool ReadDate(const std::string& text, size_t& pos, TDateTime& value) {
  int year = 0, month = 0, day = 0;
  if (!ReadDigits(text, pos, 4, year) || pos >= text.size() || text[pos++] != '-' ||
      !ReadDigits(text, pos, 2, month) || pos >= text.size() || text[pos++] != '-' ||
      !ReadDigits(text, pos, 2, day)) {
    return false;
  }
  value = EncodeDate(year, month, day);
  return true;
}

bool ReadTime(const std::string& text, size_t& pos, TDateTime& value) {
  int hour = 0, minute = 0, second = 0, msec = 0;
  if (!ReadDigits(text, pos, 2, hour) || pos >= text.size() || text[pos++] != ':' ||
      !ReadDigits(text, pos, 2, minute)) {
    return false;
  }
  if (pos < text.size() && text[pos] == ':') {
    ++pos;
    if (!ReadDigits(text, pos, 2, second)) return false;
    if (pos < text.size() && text[pos] == '.') {
      ++pos;
      if (!ReadDigits(text, pos, 3, msec)) return false;
    }
  }
  value = EncodeTime(hour, minute, second, msec);
  return true;
}

// "yyyy-mm-dd", "hh:nn[:ss[.zzz]]" or "yyyy-mm-dd hh:nn[:ss[.zzz]]".
TDateTime ParseDateTime(const std::string& text) {
  size_t pos = 0;
  TDateTime date = 0;
  TDateTime time = 0;
  bool ok = false;
  if (text.size() >= 5 && text[2] == ':') {
    ok = ReadTime(text, pos, time);
  } else {
    ok = ReadDate(text, pos, date);
    if (ok && pos < text.size()) {
      ok = text[pos++] == ' ' && ReadTime(text, pos, time);
    }
  }
  if (!ok || pos != text.size()) {
    throw EConvertError("'" + text + "' is not a valid date and time");
  }
  return date < 0 ? date - time : date + time;
}

}  // namespace

TDateTimeField::TDateTimeField(TComponent* owner) : TDateTimeField(owner, ftDateTime) {}

TDateTimeField::TDateTimeField(TComponent* owner, TFieldType type) : TField(owner) {
  SetDataType(type);
}

int TDateTimeField::DataSize() const { return DataType() == ftDateTime ? 8 : 4; }

bool TDateTimeField::ReadDateTime(TDateTime& value) const {
  value = 0;
  switch (DataType()) {
    case ftDate: {
      int32_t day = 0;
      if (!GetData(&day)) return false;
      value = TimeStampToDateTime(TTimeStamp{0, day});
      return true;
    }
    case ftTime: {
      int32_t msecs = 0;
      if (!GetData(&msecs)) return false;
      value = TimeStampToDateTime(TTimeStamp{msecs, DateTimeToTimeStamp(0).Date});
      return true;
    }
    default: {
      double msecs = 0;
      if (!GetData(&msecs)) return false;
      value = TimeStampToDateTime(MSecsToTimeStamp(msecs));
      return true;
    }
  }
}

TDateTime TDateTimeField::AsDateTime() const {
  TDateTime value;
  ReadDateTime(value);
  return value;
}

void TDateTimeField::SetAsDateTime(TDateTime value) {
  const TTimeStamp stamp = DateTimeToTimeStamp(value);
  switch (DataType()) {
    case ftDate:
      SetData(&stamp.Date);
      break;
    case ftTime:
      SetData(&stamp.Time);
      break;
    default: {
      const double msecs = TimeStampToMSecs(stamp);
      SetData(&msecs);
      break;
    }
  }
}

std::string TDateTimeField::AsString() const {
  if (std::string text; DataSetText(text)) return text;
  // One read of the value answers both whether it is null and what it is.
  TDateTime value;
  if (!ReadDateTime(value)) return {};
  switch (DataType()) {
    case ftDate:
      return FormatDateTime("yyyy-mm-dd", value);
    case ftTime:
      return FormatDateTime("hh:nn:ss", value);
    default:
      return FormatDateTime("yyyy-mm-dd hh:nn:ss", value);
  }
}

void TDateTimeField::SetAsString(const std::string& value) {
  const std::string text = Trim(value);
  if (text.empty()) {
    Clear();
  } else {
    SetAsDateTime(ParseDateTime(text));
  }
}

Variant TDateTimeField::AsVariant() const {
  return IsNull() ? Variant::Null() : Variant::FromDateTime(AsDateTime());
}

}  // namespace orv
