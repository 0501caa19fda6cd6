#include "convert/mw_format.h"

#include "host/sysutils.h"

namespace orv {

namespace {

// One field of the server form: a run of digits is read directly, anything
// else as StrToInt reads it (and refuses it).
int MWField(std::string_view field) {
  if (field.empty()) return StrToInt(field);
  int value = 0;
  for (char c : field) {
    if (c < '0' || c > '9') return StrToInt(field);
    value = value * 10 + (c - '0');
  }
  return value;
}

}  // namespace

int32_t atoi(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  uint32_t value = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
    value = value * 10 + static_cast<uint32_t>(s[i] - '0');
  }
  return static_cast<int32_t>(value);
}

double atof(std::string_view s) {
  double value = 0;
  if (s.empty() || !TryStrToFloat(s, value)) return 0.0;
  return value;
}

std::string DateTimeToMWFormat(TDateTime value) {
  return TimeStampToMWFormat(DateTimeToTimeStamp(value));
}

std::string TimeStampToMWFormat(const TTimeStamp& stamp) {
  return IntToStr(stamp.Time) + ";" + IntToStr(stamp.Date);
}

TTimeStamp TimeStampFromMWFormat(std::string_view s) {
  if (TrimView(s).size() != 17) return TTimeStamp{0, 0};
  // The fields are cut from the untrimmed text on purpose: the server form
  // has a fixed layout, and a shifted text must fail rather than be guessed.
  const TTimeStamp date = DateTimeToTimeStamp(
      EncodeDate(MWField(s.substr(0, 4)), MWField(s.substr(4, 2)), MWField(s.substr(6, 2))));
  const std::string_view rest = s.substr(8);
  const TTimeStamp time =
      DateTimeToTimeStamp(EncodeTime(MWField(rest.substr(0, 2)), MWField(rest.substr(2, 2)),
                                     MWField(rest.substr(4, 2)), MWField(rest.substr(6, 3))));
  return TTimeStamp{time.Time, date.Date};
}

TDateTime DateTimeFromMWFormat(std::string_view s) {
  return TimeStampToDateTime(TimeStampFromMWFormat(s));
}

std::string FloatToStrEx(double value) { return FloatToStrF(value, ffGeneral, 18, 0); }

const char* stpblk(const char* p) {
  while (*p == '\t' || *p == '\n' || *p == '\r' || *p == ' ') ++p;
  return p;
}

const char* GetToken(const char* p, std::string& token, char& delim) {
  p = stpblk(p);
  token.clear();
  for (;;) {
    delim = *p;
    if (delim == '\0' || delim == ';') break;
    token += UpperCase(std::string_view(p, 1));
    ++p;
  }
  if (delim == ';') ++p;
  return stpblk(p);
}

}  // namespace orv
