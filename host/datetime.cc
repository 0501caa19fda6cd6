#include "host/datetime.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <ctime>

#include "host/exceptions.h"

namespace orv {

namespace {

namespace chr = std::chrono;

// The day number of 1970-01-01, the epoch of std::chrono's civil calendar.
constexpr int32_t UnixDayNumber = 719163;

const char* const kShortMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                    "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const kLongMonths[] = {"January", "February", "March",     "April",
                                   "May",     "June",     "July",      "August",
                                   "September", "October", "November", "December"};
const char* const kShortDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kLongDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                 "Thursday", "Friday", "Saturday"};

chr::sys_days DayNumberToSysDays(int32_t day_number) {
  return chr::sys_days(chr::days(day_number - UnixDayNumber));
}

// `value` in decimal, zeros in front up to `width` characters, onto `out`.
void AppendPadded(std::string& out, int value, int width) {
  char buf[16];
  const auto length = static_cast<int>(std::to_chars(buf, buf + sizeof buf, value).ptr - buf);
  if (length < width) out.append(static_cast<size_t>(width - length), '0');
  out.append(buf, static_cast<size_t>(length));
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

}  // namespace

bool operator==(const TTimeStamp& a, const TTimeStamp& b) {
  return a.Time == b.Time && a.Date == b.Date;
}

bool IsLeapYear(int year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return kDays[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
}

TDateTime EncodeDate(int year, int month, int day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month)) {
    throw EConvertError("Invalid argument to date encode");
  }
  chr::sys_days days{chr::year(year) / chr::month(static_cast<unsigned>(month)) /
                     chr::day(static_cast<unsigned>(day))};
  return static_cast<TDateTime>(days.time_since_epoch().count() + UnixDayNumber - DateDelta);
}

TDateTime EncodeTime(int hour, int min, int sec, int msec) {
  if (hour < 0 || hour > 23 || min < 0 || min > 59 || sec < 0 || sec > 59 || msec < 0 ||
      msec > 999) {
    throw EConvertError("Invalid argument to time encode");
  }
  return (((hour * 60 + min) * 60 + sec) * 1000 + msec) / static_cast<double>(MSecsPerDay);
}

void DecodeDate(TDateTime value, int& year, int& month, int& day) {
  chr::year_month_day ymd{DayNumberToSysDays(DateTimeToTimeStamp(value).Date)};
  year = static_cast<int>(ymd.year());
  month = static_cast<int>(static_cast<unsigned>(ymd.month()));
  day = static_cast<int>(static_cast<unsigned>(ymd.day()));
}

void DecodeTime(TDateTime value, int& hour, int& min, int& sec, int& msec) {
  int32_t ms = DateTimeToTimeStamp(value).Time;
  msec = ms % 1000;
  sec = ms / 1000 % 60;
  min = ms / 60000 % 60;
  hour = ms / 3600000;
}

TTimeStamp DateTimeToTimeStamp(TDateTime value) {
  // Values no day number can hold (and NaN) are pinned to the nearest
  // representable day rather than converted with undefined results.
  constexpr double kMaxDays = 2147483647.0 - DateDelta - 1;
  value = std::isnan(value) ? 0 : std::clamp(value, -kMaxDays, kMaxDays);
  // The fraction is the time of day whatever the sign, so work on the
  // magnitude and give the whole days their sign back afterwards.
  const double total = std::round(std::fabs(value) * MSecsPerDay);
  const double days = std::floor(total / MSecsPerDay);
  TTimeStamp stamp;
  stamp.Time = static_cast<int32_t>(total - days * MSecsPerDay);
  stamp.Date = static_cast<int32_t>(DateDelta + (value < 0 ? -days : days));
  return stamp;
}

TDateTime TimeStampToDateTime(const TTimeStamp& stamp) {
  const double days = static_cast<double>(stamp.Date) - DateDelta;
  const double time = static_cast<double>(stamp.Time) / MSecsPerDay;
  return days < 0 ? days - time : days + time;
}

TTimeStamp MSecsToTimeStamp(double msecs) {
  TTimeStamp stamp;
  stamp.Date = static_cast<int32_t>(std::trunc(msecs / MSecsPerDay));
  stamp.Time = static_cast<int32_t>(std::round(msecs - stamp.Date * double{MSecsPerDay}));
  return stamp;
}

double TimeStampToMSecs(const TTimeStamp& stamp) {
  return static_cast<double>(stamp.Date) * MSecsPerDay + stamp.Time;
}

std::string FormatDateTime(std::string_view pattern, TDateTime value) {
  const TTimeStamp stamp = DateTimeToTimeStamp(value);
  const chr::sys_days days = DayNumberToSysDays(stamp.Date);
  const chr::year_month_day ymd{days};
  const int year = static_cast<int>(ymd.year());
  const int month = static_cast<int>(static_cast<unsigned>(ymd.month()));
  const int day = static_cast<int>(static_cast<unsigned>(ymd.day()));
  const unsigned weekday = chr::weekday(days).c_encoding();
  const int ms = stamp.Time;

  std::string out;
  out.reserve(pattern.size() + 8);
  bool after_hour = false;
  size_t i = 0;
  while (i < pattern.size()) {
    const char c = pattern[i];
    const char lc = Lower(c);
    if (c == '\'' || c == '"') {
      size_t close = pattern.find(c, i + 1);
      out.append(pattern.substr(i + 1, close == std::string_view::npos ? close : close - i - 1));
      i = close == std::string_view::npos ? pattern.size() : close + 1;
      continue;
    }
    size_t run = 1;
    while (i + run < pattern.size() && Lower(pattern[i + run]) == lc) ++run;
    bool hour = false;
    switch (lc) {
      case 'y':
        run <= 2 ? AppendPadded(out, year % 100, 2) : AppendPadded(out, year, 4);
        break;
      case 'm':
        if (after_hour && run <= 2) {
          AppendPadded(out, ms / 60000 % 60, run == 2 ? 2 : 1);
        } else if (run <= 2) {
          AppendPadded(out, month, static_cast<int>(run));
        } else {
          out += run == 3 ? kShortMonths[month - 1] : kLongMonths[month - 1];
        }
        break;
      case 'd':
        if (run <= 2) {
          AppendPadded(out, day, static_cast<int>(run));
        } else {
          out += run == 3 ? kShortDays[weekday] : kLongDays[weekday];
        }
        break;
      case 'h':
        AppendPadded(out, ms / 3600000, run >= 2 ? 2 : 1);
        hour = true;
        break;
      case 'n':
        AppendPadded(out, ms / 60000 % 60, run >= 2 ? 2 : 1);
        break;
      case 's':
        AppendPadded(out, ms / 1000 % 60, run >= 2 ? 2 : 1);
        break;
      case 'z':
        AppendPadded(out, ms % 1000, run >= 3 ? 3 : 1);
        break;
      default:
        out.append(pattern.substr(i, run));
        i += run;
        continue;
    }
    after_hour = hour;
    i += run;
  }
  return out;
}

TDateTime Now() {
  const auto now = chr::system_clock::now();
  const std::time_t seconds = chr::system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&seconds, &local);
  const auto ms = chr::duration_cast<chr::milliseconds>(now.time_since_epoch()).count() % 1000;
  return EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) +
         EncodeTime(local.tm_hour, local.tm_min, std::min(local.tm_sec, 59),
                    static_cast<int>(ms < 0 ? 0 : ms));
}

TDateTime Date() { return std::trunc(Now()); }

TDateTime Time() {
  const TDateTime now = Now();
  return now - std::trunc(now);
}

}  // namespace orv
