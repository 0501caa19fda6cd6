#include "server/pg_types.h"

#include <algorithm>
#include <cstdint>

#include "server/value_text.h"

namespace orv::server {

namespace {

// OIDs of the built-in types (fixed in every PostgreSQL release).
enum : unsigned {
  kBoolOid = 16, kByteaOid = 17, kCharOid = 18, kNameOid = 19, kInt8Oid = 20, kInt2Oid = 21,
  kInt4Oid = 23, kOidOid = 26, kFloat4Oid = 700, kFloat8Oid = 701, kBpcharOid = 1042,
  kVarcharOid = 1043, kDateOid = 1082, kTimeOid = 1083, kTimestampOid = 1114,
  kTimestamptzOid = 1184, kTimetzOid = 1266, kNumericOid = 1700, kUuidOid = 2950
};

// Bytes a character may take in UTF-8, the client encoding of every session.
constexpr std::size_t kMaxCharBytes = 4;
constexpr std::size_t kTextWidth = 255;
constexpr std::size_t kFloatWidth = 24;

PgColumnType Make(int code, std::size_t natural, std::size_t bound,
                  PgColumnType::Form form = PgColumnType::Form::kRaw) {
  return {code, natural, bound, form};
}

// Characters of varchar(n) and char(n); 0 without a modifier.
std::size_t Chars(int typmod) { return typmod > 4 ? static_cast<std::size_t>(typmod - 4) : 0; }

int Hex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A timestamptz prints its offset after the time ("+01", "-03:30"); the
// client's date-time has none, so the value is the session's local time.
std::string_view WithoutOffset(std::string_view t) {
  if (t.size() > 19) {
    std::size_t sign = t.find_last_of("+-");
    if (sign != std::string_view::npos && sign >= 19) return t.substr(0, sign);
  }
  return t;
}

}  // namespace

bool PgColumnType::blob() const { return type_code == kStImage; }

PgColumnType PgType(unsigned oid, int typmod) {
  using Form = PgColumnType::Form;
  switch (oid) {
    case kBoolOid:
      return Make(kStBit, 1, 1, Form::kBool);
    case kByteaOid:
      return Make(kStImage, 0, 0, Form::kBytea);
    case kInt2Oid:
      return Make(kStSmallInt, 6, 6);
    case kInt4Oid:
      return Make(kStInt, 11, 11);
    case kOidOid:
      return Make(kStFloat, 10, 10);
    case kInt8Oid:
      // Beyond 2^53 the client's double rounds; the text itself stays exact.
      return Make(kStFloat, 20, 20);
    case kFloat4Oid:
    case kFloat8Oid:
      return Make(kStFloat, kFloatWidth, kFloatWidth);
    case kNumericOid: {
      if (typmod < 4) return Make(kStNumeric, kFloatWidth, 0);
      int precision = ((typmod - 4) >> 16) & 0xffff;
      int scale = static_cast<std::int16_t>((typmod - 4) & 0xffff);
      // Sign, point and a leading zero around the digits; a negative scale
      // adds zeros before the point.
      auto width = static_cast<std::size_t>(std::max(precision, scale) + std::max(0, -scale) + 3);
      return Make(kStNumeric, width, width);
    }
    case kDateOid:
    case kTimestampOid:
    case kTimestamptzOid:
      return Make(kStDateTime, 17, 17, Form::kDate);
    case kTimeOid:
      return Make(kStVarchar, 15, 15);
    case kTimetzOid:
      return Make(kStVarchar, 24, 24);
    case kUuidOid:
      return Make(kStChar, 36, 36);
    case kNameOid:
      return Make(kStVarchar, 63, 63);
    case kCharOid:
      return Make(kStChar, 1, 4);  // a byte; non-ASCII ones print as \ooo
    case kBpcharOid:
    case kVarcharOid: {
      std::size_t n = Chars(typmod);
      int code = oid == kBpcharOid ? kStChar : kStVarchar;
      return n ? Make(code, n, n * kMaxCharBytes) : Make(code, kTextWidth, 0);
    }
    default:
      return Make(kStVarchar, kTextWidth, 0);
  }
}

void AppendPgValue(PgColumnType::Form form, std::string_view text, std::string* out) {
  using Form = PgColumnType::Form;
  switch (form) {
    case Form::kRaw:
      out->append(text);
      return;
    case Form::kBool:
      out->append(text == "t" ? "T" : text == "f" ? "F" : text);
      return;
    case Form::kDate: {
      // Values the client's date-time cannot hold (infinity, BC, years past
      // 9999) go out as PostgreSQL prints them.
      auto wire = IsoDateToWire(WithoutOffset(text));
      out->append(wire ? std::string_view(*wire) : text);
      return;
    }
    case Form::kBytea:
      if (text.size() >= 2 && text[0] == '\\' && text[1] == 'x') {
        for (std::size_t i = 2; i + 1 < text.size(); i += 2) {
          out->push_back(static_cast<char>(Hex(text[i]) * 16 + Hex(text[i + 1])));
        }
      } else {
        out->append(text);
      }
      return;
  }
}

}  // namespace orv::server
