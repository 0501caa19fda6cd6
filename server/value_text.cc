#include "server/value_text.h"

#include <charconv>
#include <cstdio>

namespace orv::server {

namespace {

bool Digits(std::string_view s, std::size_t pos, std::size_t n, int* out) {
  if (pos + n > s.size()) return false;
  int v = 0;
  for (std::size_t i = pos; i < pos + n; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    v = v * 10 + (s[i] - '0');
  }
  *out = v;
  return true;
}

bool ValidDate(int y, int m, int d) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (y < 1 || m < 1 || m > 12 || d < 1) return false;
  bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return d <= kDays[m - 1] + (m == 2 && leap ? 1 : 0);
}

bool ValidTime(int h, int n, int s) { return h < 24 && n < 60 && s < 60; }

// True when the whole of `text` reads as a T.
template <typename T>
bool ParseWhole(const std::string& text, T* out) {
  const char* end = text.data() + text.size();
  auto r = std::from_chars(text.data(), end, *out);
  return r.ec == std::errc() && r.ptr == end;
}

std::string Iso(const char* format, int a, int b, int c) {
  char buf[32];
  std::snprintf(buf, sizeof buf, format, a, b, c);
  return buf;
}

}  // namespace

std::optional<std::string> WireDateToIso(std::string_view w) {
  int y = 0, m = 0, d = 0, h = 0, n = 0, s = 0, ms = 0;
  switch (w.size()) {
    case 6:
    case 9:
      if (!Digits(w, 0, 2, &h) || !Digits(w, 2, 2, &n) || !Digits(w, 4, 2, &s)) return {};
      if (w.size() == 9 && !Digits(w, 6, 3, &ms)) return {};
      if (!ValidTime(h, n, s)) return {};
      return Iso("%02d:%02d:%02d", h, n, s) + (ms ? Iso(".%03d", ms, 0, 0) : "");
    case 8:
    case 14:
    case 17:
      if (!Digits(w, 0, 4, &y) || !Digits(w, 4, 2, &m) || !Digits(w, 6, 2, &d)) return {};
      if (!ValidDate(y, m, d)) return {};
      if (w.size() == 8) return Iso("%04d-%02d-%02d", y, m, d);
      if (!Digits(w, 8, 2, &h) || !Digits(w, 10, 2, &n) || !Digits(w, 12, 2, &s)) return {};
      if (w.size() == 17 && !Digits(w, 14, 3, &ms)) return {};
      if (!ValidTime(h, n, s)) return {};
      return Iso("%04d-%02d-%02d", y, m, d) + Iso(" %02d:%02d:%02d", h, n, s) +
             (ms ? Iso(".%03d", ms, 0, 0) : "");
    default:
      return {};
  }
}

std::optional<std::string> IsoDateToWire(std::string_view t) {
  char wire[kWireDateLength];
  if (!IsoDateToWire(t, wire)) return {};
  return std::string(wire, sizeof wire);
}

bool IsoDateToWire(std::string_view t, char (&wire)[kWireDateLength]) {
  int y = 0, m = 0, d = 0, h = 0, n = 0, s = 0, ms = 0;
  if (t.size() < 10 || t[4] != '-' || t[7] != '-') return false;
  if (!Digits(t, 0, 4, &y) || !Digits(t, 5, 2, &m) || !Digits(t, 8, 2, &d)) return false;
  if (!ValidDate(y, m, d)) return false;
  std::size_t pos = 10;
  if (pos < t.size()) {
    if (t[pos] != ' ' && t[pos] != 'T') return false;
    if (t.size() < pos + 6 || t[pos + 3] != ':') return false;
    if (!Digits(t, pos + 1, 2, &h) || !Digits(t, pos + 4, 2, &n)) return false;
    pos += 6;
    if (pos < t.size()) {
      if (t.size() < pos + 3 || t[pos] != ':' || !Digits(t, pos + 1, 2, &s)) return false;
      pos += 3;
      if (pos < t.size()) {
        // Fraction: one digit or more, of which the first three count.
        if (t[pos] != '.' || pos + 1 == t.size()) return false;
        int scale = 100;
        for (std::size_t i = pos + 1; i < t.size(); ++i) {
          if (t[i] < '0' || t[i] > '9') return false;
          ms += (t[i] - '0') * scale;
          scale /= 10;
        }
      }
    }
    if (!ValidTime(h, n, s)) return false;
  }
  // Fixed digits by hand: this runs for every date of a result.
  auto put = [&wire](std::size_t at, int digits, int value) {
    for (int i = digits - 1; i >= 0; --i, value /= 10) wire[at + i] = static_cast<char>('0' + value % 10);
  };
  put(0, 4, y);
  put(4, 2, m);
  put(6, 2, d);
  put(8, 2, h);
  put(10, 2, n);
  put(12, 2, s);
  put(14, 3, ms);
  return true;
}

std::optional<ParamValue> DecodeParam(int type_code, const std::string& value,
                                      std::string* error) {
  ParamValue v;
  switch (type_code) {
    case kStTinyInt:
    case kStSmallInt:
    case kStInt:
    case kStUshort: {
      if (value.empty()) return v;
      if (!ParseWhole(value, &v.integer)) {
        *error = "'" + value + "' is not an integer";
        return {};
      }
      v.kind = ParamValue::Kind::kInteger;
      return v;
    }
    case kStReal:
    case kStFloat:
    case kStMoney:
    case kStMoney4:
    case kStNumeric:
    case kStDecimal:
    case kStLong: {
      if (value.empty()) return v;
      if (ParseWhole(value, &v.integer)) {
        v.kind = ParamValue::Kind::kInteger;
        return v;
      }
      if (!ParseWhole(value, &v.real)) {
        *error = "'" + value + "' is not a number";
        return {};
      }
      v.kind = ParamValue::Kind::kReal;
      return v;
    }
    case kStBit:
      if (value.empty()) return v;
      if (value == "T" || value == "t" || value == "1") {
        v.integer = 1;
      } else if (value == "F" || value == "f" || value == "0") {
        v.integer = 0;
      } else {
        *error = "'" + value + "' is not a boolean (T or F)";
        return {};
      }
      v.kind = ParamValue::Kind::kInteger;
      return v;
    case kStDateTime:
    case kStDateTime4: {
      if (value.empty()) return v;
      auto iso = WireDateToIso(value);
      if (!iso) {
        *error = "'" + value + "' is not a date (yyyymmddhhnnsszzz, yyyymmdd or hhnnss)";
        return {};
      }
      v.kind = ParamValue::Kind::kText;
      v.text = std::move(*iso);
      return v;
    }
    case kStImage:
      v.kind = ParamValue::Kind::kBlob;
      v.text = value;
      return v;
    default:
      v.kind = ParamValue::Kind::kText;
      v.text = value;
      return v;
  }
}

std::string FormatReal(double value, std::size_t max_plain) {
  std::string out;
  AppendReal(value, max_plain, &out);
  return out;
}

void AppendReal(double value, std::size_t max_plain, std::string* out) {
  char buf[512];
  auto fixed = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
  if (fixed.ec == std::errc() && static_cast<std::size_t>(fixed.ptr - buf) <= max_plain) {
    out->append(buf, fixed.ptr);
    return;
  }
  auto general = std::to_chars(buf, buf + sizeof buf, value);
  out->append(buf, general.ptr);
}

}  // namespace orv::server
