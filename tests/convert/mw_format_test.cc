#include "convert/mw_format.h"

#include <gtest/gtest.h>

#include "host/exceptions.h"
#include "host/sysutils.h"

namespace orv {
namespace {

TEST(MWFormat, AtoiAndAtof) {
  EXPECT_EQ(orv::atoi("   42abc"), 42);
  EXPECT_EQ(orv::atoi("-7"), 0);
  EXPECT_EQ(orv::atoi(""), 0);
  EXPECT_EQ(orv::atoi("\t5"), 0);
  EXPECT_EQ(orv::atoi("4294967297"), 1);  // wraps in 32 bits
  EXPECT_EQ(orv::atof(""), 0.0);
  EXPECT_EQ(orv::atof("abc"), 0.0);
  EXPECT_DOUBLE_EQ(orv::atof(" -1.5E-7"), -1.5e-7);
}

TEST(MWFormat, BufferForm) {
  EXPECT_EQ(DateTimeToMWFormat(EncodeDate(2000, 1, 1) + EncodeTime(12, 0, 0, 0)),
            "43200000;730120");
  EXPECT_EQ(DateTimeToMWFormat(EncodeDate(2000, 1, 1)), "0;730120");
  EXPECT_EQ(TimeStampToMWFormat(TTimeStamp{-1, 0}), "-1;0");
  EXPECT_NO_THROW(DateTimeToMWFormat(1e300));
}

TEST(MWFormat, ServerForm) {
  EXPECT_EQ(TimeStampFromMWFormat("20000101120000000"), (TTimeStamp{43200000, 730120}));
  EXPECT_EQ(TimeStampFromMWFormat("19991231235959999 "), (TTimeStamp{86399999, 730119}));
  EXPECT_EQ(TimeStampFromMWFormat("20000101120000"), (TTimeStamp{0, 0}));
  EXPECT_EQ(TimeStampFromMWFormat(""), (TTimeStamp{0, 0}));
  EXPECT_THROW(TimeStampFromMWFormat("20001301120000000"), EConvertError);
  EXPECT_THROW(TimeStampFromMWFormat("20000101240000000"), EConvertError);
  EXPECT_THROW(TimeStampFromMWFormat("2000010112000000x"), EConvertError);
  // Fields are cut from the untrimmed text: one leading blank shifts them.
  EXPECT_THROW(TimeStampFromMWFormat(" 20000101120000000"), EConvertError);
  EXPECT_DOUBLE_EQ(DateTimeFromMWFormat("20000101060000000"), 36526.25);
}

TEST(MWFormat, FloatToStrExRoundTrips) {
  EXPECT_EQ(FloatToStrEx(0.1), "0.1");
  EXPECT_EQ(FloatToStrEx(-2.5), "-2.5");
  EXPECT_EQ(FloatToStrEx(1e-7), "1E-7");
  EXPECT_EQ(FloatToStrEx(123456789012345678.0), "123456789012345680");
  for (double v : {1.0 / 3, 2.0 / 3 * 1e-12, 9007199254740993.0, 1.7976931348623157e308,
                   4.9e-324, -0.000123}) {
    EXPECT_EQ(StrToFloat(FloatToStrEx(v)), v) << FloatToStrEx(v);
  }
}

TEST(MWFormat, Scanner) {
  const char* empty = "";
  const char* blanks = " \t\r\n ";
  EXPECT_EQ(stpblk(blanks), blanks + 5);
  std::string token;
  char delim = 'x';
  const char* list = "  name ;  addr";
  const char* p = GetToken(list, token, delim);
  EXPECT_EQ(token, "NAME ");
  EXPECT_EQ(delim, ';');
  EXPECT_EQ(p, list + 10);
  p = GetToken(p, token, delim);
  EXPECT_EQ(token, "ADDR");
  EXPECT_EQ(delim, '\0');
  EXPECT_EQ(*p, '\0');
  GetToken(empty, token, delim);
  EXPECT_EQ(token, "");
  EXPECT_EQ(delim, '\0');
}

}  // namespace
}  // namespace orv
