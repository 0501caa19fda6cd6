// The host's text and number routines.
//
// Strings are byte sequences of known length: every routine here passes NUL
// bytes through whole. Number conversions never consult the C library's
// locale (they use std::from_chars/std::to_chars), so an application that
// calls setlocale does not change what goes on the wire; the only decimal
// separator they know is the host's own, '.' unless SetDecimalSeparator
// changes it.
//
// Every function may be called from any thread. SetDecimalSeparator is meant
// for start-up; its value is read atomically.
#pragma once

#include <concepts>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#pragma GCC visibility push(default)
namespace orv {

// Removes blanks and control characters (bytes <= 32) from both ends, the
// start or the end.
std::string Trim(std::string_view s);
std::string TrimLeft(std::string_view s);
std::string TrimRight(std::string_view s);

// Changes ASCII letters only; every other byte is kept.
std::string UpperCase(std::string_view s);
std::string LowerCase(std::string_view s);

// Case-insensitive comparison (ASCII letters fold, other bytes compare by
// value): < 0, 0 or > 0.
int AnsiCompareText(std::string_view a, std::string_view b);
bool SameText(std::string_view a, std::string_view b);

// Letters, digits and '_', not starting with a digit; not empty.
bool IsValidIdent(std::string_view s);

std::string IntToStr(int64_t value);

// Leading blanks, an optional sign, then decimal digits or '$' / "0x" and hex
// digits. Raise EConvertError "'x' is not a valid integer value" on anything
// else or on overflow.
int StrToInt(std::string_view s);
int64_t StrToInt64(std::string_view s);
int StrToIntDef(std::string_view s, int default_value);

// Surrounding blanks, an optional sign, digits with at most one decimal
// separator, an optional exponent ("1E-7"). StrToFloat raises EConvertError
// "'x' is not a valid floating point value".
double StrToFloat(std::string_view s);
bool TryStrToFloat(std::string_view s, double& value);

enum TFloatFormat { ffGeneral, ffExponent, ffFixed, ffNumber, ffCurrency };

// Formats `value` with `precision` significant digits:
//  ffGeneral  the shorter of fixed and scientific, trailing zeros removed;
//             scientific when the digits left of the point exceed
//             `precision` or the value is below 1E-4 ("1E-7", "1.5E20");
//             `digits` is the minimum number of exponent digits (0..4).
//  ffExponent "d.dddE+ddd": `precision` mantissa digits, `digits` minimum
//             exponent digits, the exponent sign always written.
//  ffFixed    `digits` decimals; scientific when the integer part has more
//             than `precision` digits.
//  ffNumber   ffFixed with ',' between groups of thousands.
//  ffCurrency as ffNumber (the host layer has no currency symbol).
// A precision above 17 asks for more digits than a double holds; the result
// is then the shortest text that reads back as the same double.
std::string FloatToStrF(double value, TFloatFormat format, int precision, int digits);
// ffGeneral with 15 significant digits.
std::string FloatToStr(double value);

char DecimalSeparator();
void SetDecimalSeparator(char separator);

// One argument of Format, converted from the caller's value.
using TFormatArg = std::variant<int64_t, uint64_t, double, std::string_view>;

std::string FormatArgs(std::string_view format, std::span<const TFormatArg> args);

namespace format_detail {
template <class T>
TFormatArg ToArg(const T& value) {
  if constexpr (std::same_as<T, bool>) {
    return static_cast<int64_t>(value);
  } else if constexpr (std::signed_integral<T>) {
    return static_cast<int64_t>(value);
  } else if constexpr (std::unsigned_integral<T>) {
    return static_cast<uint64_t>(value);
  } else if constexpr (std::floating_point<T>) {
    return static_cast<double>(value);
  } else {
    return std::string_view(value);
  }
}
}  // namespace format_detail

// The host's Format: "%" ["-"] ["0"] [width] ["." precision] type, where
// width and precision may be "*" (taken from the next argument) and type is
//   d  signed decimal; precision = minimum digits ("%0.4d" gives "0042")
//   u  unsigned decimal          x  upper-case hex; precision as for d
//   s  string; precision = maximum bytes taken
//   f  fixed, precision decimals (default 2)
//   e  scientific, precision digits (default 15)
//   g  general, precision significant digits (default 15)
//   %  a literal '%'
// '-' left-justifies within width; '0' pads numbers with zeros. A missing or
// mismatched argument raises EConvertError
// "Format '<format>' invalid or incompatible with argument".
template <class... A>
std::string Format(std::string_view format, const A&... args) {
  // One spare element keeps the array non-empty when there are no arguments.
  const TFormatArg converted[] = {format_detail::ToArg(args)..., TFormatArg(int64_t{0})};
  return FormatArgs(format, std::span<const TFormatArg>(converted, sizeof...(A)));
}

}  // namespace orv
#pragma GCC visibility pop
