// The text forms of numbers, dates and times used with the RDB server, and
// the scanner of semicolon-separated field lists.
//
// MW format, server form: "yyyymmddhhnnsszzz", 17 decimal characters with no
// separators (year, month, day, hour, minute, second, milliseconds).
// MW format, buffer form: the two fields of a TTimeStamp in decimal, time
// first, joined by ';' ("43200000;730120" is 2000-01-01 12:00). The
// ...FromMWFormat functions read only the server form.
//
// atoi and atof share their names with the C library's; call them as
// orv::atoi and orv::atof. Only the ...FromMWFormat functions raise.
// Every function may be called from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "../host/datetime.h"

#pragma GCC visibility push(default)
namespace orv {

// Skips leading spaces, then reads decimal digits up to the first other
// character. No sign is recognised ("-7" gives 0); overflow wraps in 32 bits.
int32_t atoi(std::string_view s);

// StrToFloat, but 0.0 for an empty text or anything it rejects.
double atof(std::string_view s);

// The buffer form: "<ms of day>;<day number>".
std::string DateTimeToMWFormat(TDateTime value);
std::string TimeStampToMWFormat(const TTimeStamp& stamp);

// Reads the server form. A text that is not 17 characters once trimmed of
// blanks gives the zero timestamp (time 0, date 0). The fields are cut from
// the text as given, so a text with leading blanks is misread and raises;
// non-digits or out-of-range fields raise EConvertError.
TTimeStamp TimeStampFromMWFormat(std::string_view s);
TDateTime DateTimeFromMWFormat(std::string_view s);

// General format with up to 18 significant digits; a double gives the
// shortest text that reads back as the same value.
std::string FloatToStrEx(double value);

// Returns the first character of `p` that is not a tab, LF, CR or space
// (possibly the terminating zero).
const char* stpblk(const char* p);

// Reads one token of a ';'-separated list at `p`: skips blanks, then takes
// every character up to ';' or the terminating zero, upper-cased (ASCII),
// into `token` (blanks inside and before the ';' included). `delim` receives
// ';' or '\0'. Returns where scanning goes on: past the ';' and any blanks.
const char* GetToken(const char* p, std::string& token, char& delim);

}  // namespace orv
#pragma GCC visibility pop
