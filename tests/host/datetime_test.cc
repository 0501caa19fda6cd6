#include "host/datetime.h"

#include <gtest/gtest.h>

#include "host/exceptions.h"

namespace orv {
namespace {

TEST(DateTime, DayNumbersAndEncoding) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0);
  EXPECT_EQ(EncodeDate(2000, 1, 1), 36526);
  EXPECT_EQ(DateTimeToTimeStamp(EncodeDate(2000, 1, 1)).Date, 730120);
  EXPECT_EQ(DateTimeToTimeStamp(EncodeDate(1, 1, 1)).Date, 1);
  EXPECT_EQ(DateTimeToTimeStamp(EncodeDate(9999, 12, 31)).Date, 3652059);
  EXPECT_EQ(EncodeDate(1600, 3, 1) - EncodeDate(1600, 2, 28), 2);  // leap century
  EXPECT_EQ(EncodeDate(1900, 3, 1) - EncodeDate(1900, 2, 28), 1);
  EXPECT_DOUBLE_EQ(EncodeTime(12, 0, 0, 0), 0.5);
  for (auto bad : {+[] { EncodeDate(0, 1, 1); }, +[] { EncodeDate(10000, 1, 1); },
                   +[] { EncodeDate(2001, 2, 29); }, +[] { EncodeDate(2000, 13, 1); },
                   +[] { EncodeDate(2000, 1, 0); }, +[] { EncodeTime(24, 0, 0, 0); },
                   +[] { EncodeTime(0, 60, 0, 0); }, +[] { EncodeTime(0, 0, 0, 1000); }}) {
    EXPECT_THROW(bad(), EConvertError);
  }
  int y, m, d, h, n, s, ms;
  DecodeDate(EncodeDate(2024, 2, 29) + EncodeTime(23, 59, 59, 999), y, m, d);
  DecodeTime(EncodeDate(2024, 2, 29) + EncodeTime(23, 59, 59, 999), h, n, s, ms);
  EXPECT_EQ(std::vector<int>({y, m, d, h, n, s, ms}),
            std::vector<int>({2024, 2, 29, 23, 59, 59, 999}));
}

TEST(DateTime, NegativeValuesKeepTheTimeOfDay) {
  TTimeStamp stamp = DateTimeToTimeStamp(-1.25);
  EXPECT_EQ(stamp.Date, DateDelta - 1);
  EXPECT_EQ(stamp.Time, 6 * 3600 * 1000);
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn", -1.25), "1899-12-29 06:00");
  EXPECT_DOUBLE_EQ(TimeStampToDateTime(stamp), -1.25);
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn", -0.25), "1899-12-30 06:00");
}

TEST(DateTime, TimeStampsAndMilliseconds) {
  TTimeStamp noon{43200000, 730120};
  EXPECT_EQ(DateTimeToTimeStamp(36526.5), noon);
  EXPECT_DOUBLE_EQ(TimeStampToDateTime(noon), 36526.5);
  EXPECT_DOUBLE_EQ(TimeStampToMSecs(noon), 730120.0 * 86400000 + 43200000);
  EXPECT_EQ(MSecsToTimeStamp(TimeStampToMSecs(noon)), noon);
  // Rounding to the millisecond carries into the next day.
  EXPECT_EQ(DateTimeToTimeStamp(36526.9999999999), (TTimeStamp{0, 730121}));
}

TEST(DateTime, FormatPatterns) {
  TDateTime t = EncodeDate(2003, 4, 5) + EncodeTime(6, 7, 8, 9);
  EXPECT_EQ(FormatDateTime("yyyymmddhhnnss000", t), "20030405060708000");
  EXPECT_EQ(FormatDateTime("yyyymmdd", t), "20030405");
  EXPECT_EQ(FormatDateTime("hhnnss", t), "060708");
  EXPECT_EQ(FormatDateTime("yy/m/d h:n:s.zzz z", t), "03/4/5 6:7:8.009 9");
  EXPECT_EQ(FormatDateTime("hh:mm", t), "06:07");
  EXPECT_EQ(FormatDateTime("'at' hh \"o'clock\" YYYY-MM", t), "at 06 o'clock 2003-04");
  EXPECT_EQ(FormatDateTime("ddd dddd mmm mmmm", t), "Sat Saturday Apr April");
  EXPECT_NO_THROW(FormatDateTime("yyyy", 1e300));
}

TEST(DateTime, Clock) {
  TDateTime now = Now();
  EXPECT_GT(now, EncodeDate(2020, 1, 1));
  EXPECT_LT(Time(), 1.0);
  EXPECT_EQ(Date(), static_cast<double>(static_cast<int64_t>(Date())));
}

}  // namespace
}  // namespace orv
