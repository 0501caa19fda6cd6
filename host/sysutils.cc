#include "host/sysutils.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "host/exceptions.h"

namespace orv {

namespace {

std::atomic<char> decimal_separator{'.'};

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

char ToUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
char ToLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// Leading spaces, a sign, decimal digits or '$'/"0x" and hex digits; the
// whole text must be used. Overflow of 64 bits fails.
bool ParseInt64(std::string_view s, int64_t& out) {
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  int base = 10;
  if (i < s.size() && s[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  uint64_t magnitude = 0;
  const char* first = s.data() + i;
  const char* last = s.data() + s.size();
  auto [ptr, ec] = std::from_chars(first, last, magnitude, base);
  if (first == last || ec != std::errc() || ptr != last) return false;
  const uint64_t limit = uint64_t{1} << 63;
  if (negative ? magnitude > limit : magnitude >= limit) return false;
  out = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
  return true;
}

[[noreturn]] void RaiseInteger(std::string_view s) {
  throw EConvertError("'" + std::string(s) + "' is not a valid integer value");
}

// A finite, non-negative value as significant digits: value = 0.digits x
// 10^exponent. `digits` has no leading or trailing zeros; empty means zero.
struct Decimal {
  std::string digits;
  int exponent = 0;
};

Decimal ParseDigits(std::string_view text, int int_digits) {
  Decimal d;
  d.exponent = int_digits;
  for (char c : text) {
    if (c >= '0' && c <= '9') d.digits += c;
  }
  size_t lead = d.digits.find_first_not_of('0');
  if (lead == std::string::npos) return Decimal{};
  d.digits.erase(0, lead);
  d.exponent -= static_cast<int>(lead);
  d.digits.erase(d.digits.find_last_not_of('0') + 1);
  return d;
}

// Rounded to `precision` significant digits; the shortest round-trip digits
// when precision exceeds what a double holds.
//
// The shortest digits that read back as a normal double `a` are also `a`
// correctly rounded to any precision of at most 15 digits that holds them
// all: a step of the 15-digit grid is more than four times the spacing of
// normal doubles, so no other number of that grid lies as near. (Subnormal
// doubles are spaced more widely.) Most values are short, and the shortest
// conversion is much cheaper than the fixed-precision one.
Decimal Significant(double a, int precision) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, a, std::chars_format::scientific);
  if (precision <= 17) {
    const auto mantissa = static_cast<int>(std::find(buf, r.ptr, 'e') - buf);
    const int shortest = mantissa > 1 ? mantissa - 1 : 1;
    if (precision > 15 || shortest > precision || a < std::numeric_limits<double>::min())
      r = std::to_chars(buf, buf + sizeof buf, a, std::chars_format::scientific, precision - 1);
  }
  const std::string_view text(buf, static_cast<size_t>(r.ptr - buf));
  const size_t e = text.find('e');
  int exponent = 0;
  std::from_chars(text.data() + e + 1 + (text[e + 1] == '+'), text.data() + text.size(),
                  exponent);
  // "d.ddde+x": the first digit is not 0 unless the value is.
  if (text[0] == '0') return Decimal{};
  Decimal d;
  d.exponent = exponent + 1;
  d.digits.assign(1, text[0]);
  if (e > 2) d.digits.append(text.data() + 2, e - 2);
  d.digits.erase(d.digits.find_last_not_of('0') + 1);
  return d;
}

// Rounded to `decimals` places after the point.
Decimal Rounded(double a, int decimals) {
  std::string buf(std::numeric_limits<double>::max_exponent10 + 32 + decimals, '\0');
  auto r = std::to_chars(buf.data(), buf.data() + buf.size(), a, std::chars_format::fixed,
                         decimals);
  std::string_view text(buf.data(), static_cast<size_t>(r.ptr - buf.data()));
  size_t point = text.find('.');
  return ParseDigits(text, static_cast<int>(point == std::string_view::npos ? text.size()
                                                                            : point));
}

char DigitAt(const Decimal& d, int index) {
  return index >= 0 && index < static_cast<int>(d.digits.size()) ? d.digits[index] : '0';
}

std::string IntegerPart(const Decimal& d, char thousands) {
  if (d.exponent <= 0) return "0";
  std::string out;
  for (int i = 0; i < d.exponent; ++i) {
    if (thousands != 0 && i > 0 && (d.exponent - i) % 3 == 0) out += thousands;
    out += DigitAt(d, i);
  }
  return out;
}

std::string FractionPart(const Decimal& d, int decimals) {
  std::string out;
  for (int i = 0; i < decimals; ++i) out += DigitAt(d, d.exponent + i);
  return out;
}

std::string Scientific(const Decimal& d, int mantissa_digits, int exp_digits, bool plus) {
  std::string out(1, DigitAt(d, 0));
  if (mantissa_digits > 1) {
    out += DecimalSeparator();
    for (int i = 1; i < mantissa_digits; ++i) out += DigitAt(d, i);
  }
  int x = d.digits.empty() ? 0 : d.exponent - 1;
  out += 'E';
  if (x < 0) {
    out += '-';
  } else if (plus) {
    out += '+';
  }
  std::string e = std::to_string(std::abs(x));
  if (static_cast<int>(e.size()) < exp_digits) e.insert(0, exp_digits - e.size(), '0');
  return out + e;
}

std::string FormatGeneral(double a, int precision, int exp_digits) {
  Decimal d = Significant(a, precision);
  if (d.digits.empty()) return "0";
  const int len = static_cast<int>(d.digits.size());
  if (d.exponent > precision || d.exponent < -3) {
    return Scientific(d, len, exp_digits, false);
  }
  // The integer part, then the fraction; digits beyond those held are 0.
  std::string out;
  if (d.exponent <= 0) {
    out = "0";
  } else {
    out.append(d.digits, 0, static_cast<size_t>(std::min(len, d.exponent)));
    out.append(static_cast<size_t>(std::max(0, d.exponent - len)), '0');
  }
  if (len > d.exponent) {
    out += DecimalSeparator();
    out.append(static_cast<size_t>(std::max(0, -d.exponent)), '0');
    const int from = std::max(0, d.exponent);
    out.append(d.digits, static_cast<size_t>(from), static_cast<size_t>(len - from));
  }
  return out;
}

std::string FormatFixed(double a, int precision, int decimals, char thousands) {
  Decimal d = Significant(a, precision);
  if (d.exponent > precision) return Scientific(d, precision, 0, true);
  if (precision - d.exponent > decimals) d = Rounded(a, decimals);
  std::string out = IntegerPart(d, thousands);
  if (decimals > 0) out += DecimalSeparator() + FractionPart(d, decimals);
  return out;
}

}  // namespace

std::string Trim(std::string_view s) { return std::string(TrimView(s)); }

std::string_view TrimView(std::string_view s) {
  const char* begin = s.data();
  const char* end = begin + s.size();
  // Fixed-width texts end in runs of blanks: those go eight at a time.
  constexpr uint64_t kBlanks = 0x2020202020202020ULL;
  uint64_t word;
  while (end - begin >= 8 && (std::memcpy(&word, end - 8, 8), word == kBlanks)) end -= 8;
  while (end > begin && IsBlank(end[-1])) --end;
  while (begin < end && IsBlank(*begin)) ++begin;
  return std::string_view(begin, static_cast<size_t>(end - begin));
}

std::string TrimLeft(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && IsBlank(s[i])) ++i;
  return std::string(s.substr(i));
}

std::string TrimRight(std::string_view s) {
  size_t n = s.size();
  while (n > 0 && IsBlank(s[n - 1])) --n;
  return std::string(s.substr(0, n));
}

std::string UpperCase(std::string_view s) {
  std::string out(s);
  std::transform(out.begin(), out.end(), out.begin(), ToUpper);
  return out;
}

std::string LowerCase(std::string_view s) {
  std::string out(s);
  std::transform(out.begin(), out.end(), out.begin(), ToLower);
  return out;
}

int AnsiCompareText(std::string_view a, std::string_view b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    auto ca = static_cast<unsigned char>(ToLower(a[i]));
    auto cb = static_cast<unsigned char>(ToLower(b[i]));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool SameText(std::string_view a, std::string_view b) { return AnsiCompareText(a, b) == 0; }

bool IsValidIdent(std::string_view s) {
  const auto letter = [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
  };
  if (s.empty() || !letter(s.front())) return false;
  return std::all_of(s.begin(), s.end(), [&](char c) { return letter(c) || (c >= '0' && c <= '9'); });
}

std::string IntToStr(int64_t value) { return std::to_string(value); }

int StrToInt(std::string_view s) {
  int64_t v = 0;
  if (!ParseInt64(s, v) || v < std::numeric_limits<int>::min() ||
      v > std::numeric_limits<int>::max()) {
    RaiseInteger(s);
  }
  return static_cast<int>(v);
}

int64_t StrToInt64(std::string_view s) {
  int64_t v = 0;
  if (!ParseInt64(s, v)) RaiseInteger(s);
  return v;
}

int StrToIntDef(std::string_view s, int default_value) {
  int64_t v = 0;
  if (!ParseInt64(s, v) || v < std::numeric_limits<int>::min() ||
      v > std::numeric_limits<int>::max()) {
    return default_value;
  }
  return static_cast<int>(v);
}

bool TryStrToFloat(std::string_view s, double& value) {
  const std::string_view text = TrimView(s);
  const char separator = DecimalSeparator();
  bool negative = false;
  size_t i = 0;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  const size_t start = i;
  bool seen_point = false, seen_exponent = false, mantissa_digit = false;
  char previous = 0;  // the last character taken, the separator as '.'
  // Only digits, one separator and one exponent with an optional sign pass;
  // from_chars would also take "inf", "nan" and the like.
  for (; i < text.size(); ++i) {
    char c = text[i];
    const bool after_e = previous == 'e' || previous == 'E';
    if (c >= '0' && c <= '9') {
      mantissa_digit |= !seen_exponent;
    } else if (c == separator && !seen_point && !seen_exponent) {
      seen_point = true;
      c = '.';
    } else if ((c == 'e' || c == 'E') && mantissa_digit && !seen_exponent) {
      seen_exponent = true;
    } else if (!((c == '-' || c == '+') && after_e)) {
      return false;
    }
    previous = c;
  }
  if (!mantissa_digit) return false;
  // from_chars reads only '.', so another separator is replaced in a copy.
  std::string copy;
  std::string_view plain = text.substr(start);
  if (seen_point && separator != '.') {
    copy.assign(plain);
    copy[copy.find(separator)] = '.';
    plain = copy;
  }
  double parsed = 0;
  auto [ptr, ec] = std::from_chars(plain.data(), plain.data() + plain.size(), parsed,
                                   std::chars_format::general);
  if (ec != std::errc() || ptr != plain.data() + plain.size()) return false;
  value = negative ? -parsed : parsed;
  return true;
}

double StrToFloat(std::string_view s) {
  double v = 0;
  if (!TryStrToFloat(s, v)) {
    throw EConvertError("'" + std::string(s) + "' is not a valid floating point value");
  }
  return v;
}

std::string FloatToStrF(double value, TFloatFormat format, int precision, int digits) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  precision = std::clamp(precision, 1, 18);
  std::string body;
  const double a = std::fabs(value);
  switch (format) {
    case ffGeneral:
      body = FormatGeneral(a, precision, std::clamp(digits, 0, 4));
      break;
    case ffExponent:
      body = Scientific(Significant(a, precision), precision, std::clamp(digits, 0, 4), true);
      break;
    case ffFixed:
      body = FormatFixed(a, precision, std::clamp(digits, 0, 18), 0);
      break;
    case ffNumber:
    case ffCurrency:
      body = FormatFixed(a, precision, std::clamp(digits, 0, 18), ',');
      break;
  }
  // A value that rounds to zero shows no sign.
  const std::string_view mantissa(body.data(), std::min(body.find('E'), body.size()));
  const bool zero = mantissa.find_first_of("123456789") == std::string_view::npos;
  if (value < 0 && !zero) body.insert(0, 1, '-');
  return body;
}

std::string FloatToStr(double value) { return FloatToStrF(value, ffGeneral, 15, 0); }

char DecimalSeparator() { return decimal_separator.load(std::memory_order_relaxed); }

void SetDecimalSeparator(char separator) {
  decimal_separator.store(separator, std::memory_order_relaxed);
}

}  // namespace orv
