// Text forms of values between the wire and the database.
//
// The wire carries dates as 17 digits "yyyymmddhhnnsszzz" (8 digits for a
// date alone, 6 for a time alone); the database stores ISO 8601 texts as its
// own date functions write them. Floats go out as the shortest text that
// converts back to the same double.
//
// Free functions without state; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orv::server {

// Column and parameter type codes: the decimal ordinals the client reads.
enum TypeCode : int {
  kStChar, kStBinary, kStLongChar, kStLongBinary, kStText, kStImage, kStTinyInt,
  kStSmallInt, kStInt, kStReal, kStFloat, kStBit, kStDateTime, kStDateTime4, kStMoney,
  kStMoney4, kStNumeric, kStDecimal, kStVarchar, kStVarBinary, kStLong, kStSensitivity,
  kStBoundary, kStVoid, kStUshort, kStUnknown
};

// A parameter value as it is bound to a statement.
struct ParamValue {
  enum class Kind { kNull, kInteger, kReal, kText, kBlob } kind = Kind::kNull;
  std::int64_t integer = 0;
  double real = 0;
  std::string text;  // kText, kBlob
};

// Turns a parameter's wire text into the value bound for its type code:
// integer codes as integers, floating codes as doubles (an integer text as
// an exact integer), stBit "T"/"F"/"1"/"0" as 1/0, stDateTime as ISO text,
// stImage as a blob, anything else as text. An empty value of a numeric or
// date type is NULL. Nothing (and *error set) for a text the type rejects.
std::optional<ParamValue> DecodeParam(int type_code, const std::string& value,
                                      std::string* error);

// Wire date text (17, 14, 9, 8 or 6 digits) to the ISO text the database
// stores: "YYYY-MM-DD HH:MM:SS" (plus ".SSS" when the milliseconds are not
// zero), "YYYY-MM-DD" or "HH:MM:SS". Nothing for a text that is not a valid
// date or time.
std::optional<std::string> WireDateToIso(std::string_view wire);

// Digits of a date in the wire form the server sends.
inline constexpr std::size_t kWireDateLength = 17;

// ISO date text ("YYYY-MM-DD", optionally followed by ' ' or 'T' and
// "HH:MM", "HH:MM:SS" or "HH:MM:SS.fff...") to the 17-digit wire form.
// Nothing when the text is not a valid date.
std::optional<std::string> IsoDateToWire(std::string_view iso);
// The same into `wire`; false (and `wire` undefined) for an invalid date.
bool IsoDateToWire(std::string_view iso, char (&wire)[kWireDateLength]);

// Shortest text that reads back as the same double: plain decimal notation
// when that takes at most max_plain characters, exponent form otherwise.
std::string FormatReal(double value, std::size_t max_plain);
// The same, appended to *out.
void AppendReal(double value, std::size_t max_plain, std::string* out);

}  // namespace orv::server
