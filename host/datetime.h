// The host's dates and times.
//
// A TDateTime is a count of days since 1899-12-30 (day 0) as a double; its
// fraction is the time of day. For negative values the fraction is still the
// time of day, independent of the sign: -1.25 is 1899-12-29 06:00.
//
// A TTimeStamp holds the same instant as two integers: milliseconds since
// midnight and a day number in the proleptic Gregorian calendar with
// 1 January of year 1 as day 1 (so 1 January 2000 is day 730120 and
// 1899-12-30 is day 693594).
//
// All functions may be called from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#pragma GCC visibility push(default)
namespace orv {

using TDateTime = double;

struct TTimeStamp {
  int32_t Time;  // milliseconds since midnight
  int32_t Date;  // day number, 0001-01-01 = 1
};

bool operator==(const TTimeStamp& a, const TTimeStamp& b);

constexpr int32_t MSecsPerDay = 24 * 60 * 60 * 1000;
// The day number of TDateTime 0 (1899-12-30).
constexpr int32_t DateDelta = 693594;

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

// Raise EConvertError "Invalid argument to date encode" / "... time encode"
// outside 1..9999, 1..12, 1..days of month, or 0..23, 0..59, 0..59, 0..999.
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int min, int sec, int msec);
void DecodeDate(TDateTime value, int& year, int& month, int& day);
void DecodeTime(TDateTime value, int& hour, int& min, int& sec, int& msec);

// Rounds to the nearest millisecond.
TTimeStamp DateTimeToTimeStamp(TDateTime value);
TDateTime TimeStampToDateTime(const TTimeStamp& stamp);
// Milliseconds since the start of day 0 (Date * MSecsPerDay + Time).
TTimeStamp MSecsToTimeStamp(double msecs);
double TimeStampToMSecs(const TTimeStamp& stamp);

// Formats `value` by `pattern`; specifiers are case-insensitive:
//   yyyy year (4 digits)        yy   year (2 digits)
//   mm / m month (01 / 1)       mmm / mmmm  Jan / January
//   dd / d day (01 / 1)         ddd / dddd  Sun / Sunday
//   hh / h hour                 nn / n minute
//   ss / s second               zzz / z milliseconds
// "m"/"mm" right after an hour specifier means minutes. Text in single or
// double quotes and every other character is copied as it is.
std::string FormatDateTime(std::string_view pattern, TDateTime value);

// The local date and time now, today's date, the time of day now.
TDateTime Now();
TDateTime Date();
TDateTime Time();

}  // namespace orv
#pragma GCC visibility pop
