#include "dataset/field_text.h"

#include <cstring>

#include "host/datetime.h"
#include "host/sysutils.h"

namespace orv {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The length of the run of digits at `from`.
size_t DigitRun(std::string_view text, size_t from) {
  size_t i = from;
  while (i < text.size() && IsDigit(text[i])) ++i;
  return i - from;
}

int Digits(std::string_view text, size_t from, size_t count) {
  int value = 0;
  for (size_t i = from; i < from + count; ++i) value = value * 10 + (text[i] - '0');
  return value;
}

}  // namespace

bool IntegerSlotText(std::string_view slot, int64_t low, int64_t high, std::string& out) {
  const size_t sign = !slot.empty() && slot[0] == '-' ? 1 : 0;
  const size_t digits = slot.size() - sign;
  if (digits == 0 || digits > 10 || DigitRun(slot, sign) != digits) return false;
  if (slot[sign] == '0' && (digits > 1 || sign == 1)) return false;
  int64_t value = 0;
  for (size_t i = sign; i < slot.size(); ++i) value = value * 10 + (slot[i] - '0');
  if (sign == 1) value = -value;
  if (value < low || value > high) return false;
  out.assign(slot);
  return true;
}

// FloatToStr writes a double rounded to 15 significant digits, plainly when
// its decimal exponent is between -3 and 15. A decimal text of at most 15
// significant digits is itself the 15-digit rounding of the double it reads
// as, so in that range the round trip gives the text back exactly.
bool FloatSlotText(std::string_view slot, std::string& out) {
  // The slot's point is '.'; the host reads and writes its own separator.
  if (DecimalSeparator() != '.') return false;
  const size_t sign = !slot.empty() && slot[0] == '-' ? 1 : 0;
  const size_t whole = DigitRun(slot, sign);
  if (whole == 0 || (whole > 1 && slot[sign] == '0')) return false;
  size_t fraction = 0;
  const size_t point = sign + whole;
  if (point < slot.size()) {
    fraction = DigitRun(slot, point + 1);
    if (slot[point] != '.' || fraction == 0 || point + 1 + fraction != slot.size() ||
        slot.back() == '0')
      return false;
  }
  int significant = 0, exponent = 0;
  if (slot[sign] != '0') {
    // A whole number's trailing zeros are not significant.
    size_t end = point;
    if (fraction == 0) {
      while (slot[end - 1] == '0') --end;
    }
    exponent = static_cast<int>(whole);
    significant = static_cast<int>(end - sign + fraction);
  } else if (fraction > 0) {
    size_t zeros = 0;
    while (slot[point + 1 + zeros] == '0') ++zeros;
    exponent = -static_cast<int>(zeros);
    significant = static_cast<int>(fraction - zeros);
  } else if (sign == 1) {
    return false;  // "-0" reads as zero, which has no sign
  }
  if (significant > 15 || exponent > 15 || exponent < -3) return false;
  out.assign(slot);
  return true;
}

bool DateTimeSlotText(std::string_view slot, TFieldType type, std::string& out) {
  if (slot.size() != 17 || DigitRun(slot, 0) != 17) return false;
  const int year = Digits(slot, 0, 4), month = Digits(slot, 4, 2), day = Digits(slot, 6, 2);
  const int hour = Digits(slot, 8, 2), minute = Digits(slot, 10, 2), second = Digits(slot, 12, 2);
  // What EncodeDate and EncodeTime accept; anything else fails there.
  if (year < 1 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) ||
      hour > 23 || minute > 59 || second > 59)
    return false;
  // "yyyy-mm-dd hh:nn:ss" from the digits, the date or the time alone.
  char text[19];
  std::memcpy(text, slot.data(), 4);
  text[4] = '-';
  std::memcpy(text + 5, slot.data() + 4, 2);
  text[7] = '-';
  std::memcpy(text + 8, slot.data() + 6, 2);
  text[10] = ' ';
  std::memcpy(text + 11, slot.data() + 8, 2);
  text[13] = ':';
  std::memcpy(text + 14, slot.data() + 10, 2);
  text[16] = ':';
  std::memcpy(text + 17, slot.data() + 12, 2);
  if (type == ftDate) {
    out.assign(text, 10);
  } else if (type == ftTime) {
    out.assign(text + 11, 8);
  } else {
    out.assign(text, 19);
  }
  return true;
}

}  // namespace orv
