#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <limits>

#include "tools/cell_format.h"
#include "tools/result_writer.h"
#include "tools/timing.h"

namespace orv::orvsql {
namespace {

TEST(OrvsqlFormat, FloatsAreShortestRoundTripText) {
  EXPECT_EQ(FormatFloat(0.1), "0.1");
  EXPECT_EQ(FormatFloat(2.5), "2.5");
  EXPECT_EQ(FormatFloat(100000), "100000");
  EXPECT_EQ(FormatFloat(-0.001), "-0.001");
  EXPECT_EQ(FormatFloat(1e20), "100000000000000000000");
  EXPECT_EQ(FormatFloat(1e300), "1e+300");
  EXPECT_EQ(FormatFloat(5e-324), "5e-324");
  for (double v : {0.1 + 0.2, 1.0 / 3, 123456.789e10, -2.2250738585072014e-308,
                   std::numeric_limits<double>::max(), 9007199254740993.0}) {
    std::string text = FormatFloat(v);
    double back = 0;
    std::from_chars(text.data(), text.data() + text.size(), back);
    EXPECT_EQ(back, v) << text;
  }
}

TEST(OrvsqlFormat, DatesAndTimesShowMillisecondsOnlyWhenSet) {
  TDateTime t = EncodeDate(2024, 2, 29) + EncodeTime(7, 5, 3, 0);
  EXPECT_EQ(FormatDateTimeCell(t), "2024-02-29 07:05:03");
  EXPECT_EQ(FormatDateTimeCell(t + EncodeTime(0, 0, 0, 7)), "2024-02-29 07:05:03.007");
  EXPECT_EQ(FormatDateTimeCell(EncodeDate(1999, 12, 31) + EncodeTime(23, 59, 59, 999)),
            "1999-12-31 23:59:59.999");
  EXPECT_EQ(FormatDateCell(t), "2024-02-29");
  EXPECT_EQ(FormatTimeCell(EncodeTime(0, 0, 0, 0)), "00:00:00");
  EXPECT_EQ(FormatTimeCell(EncodeTime(12, 30, 0, 500)), "12:30:00.500");
}

TEST(OrvsqlFormat, CsvQuotesOnlyWhatNeedsIt) {
  EXPECT_EQ(CsvField("plain text"), "plain text");
  EXPECT_EQ(CsvField(""), "");
  EXPECT_EQ(CsvField("a,b"), "\"a,b\"");
  EXPECT_EQ(CsvField("say \"hi\""), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(CsvField("two\nlines"), "\"two\nlines\"");
  EXPECT_EQ(CsvField("cr\r"), "\"cr\r\"");
  EXPECT_EQ(CsvField(std::string("nul\0byte", 8)), std::string("nul\0byte", 8));

  auto csv = NewCsvWriter();
  std::string out;
  csv->Header({{"id", 11, true, false}, {"a,b", 5, false, false}}, out);
  csv->Row(1, {"1", "x\"y"}, out);
  csv->Row(1, {"", ""}, out);
  csv->Footer(2, out);
  EXPECT_EQ(out, "id,\"a,b\"\n1,\"x\"\"y\"\n,\n");
}

TEST(OrvsqlFormat, TableColumnsKeepTheirWidthWhateverTheData) {
  auto table = NewTableWriter();
  std::string out;
  table->Header({{"id", 4, true, false, false}, {"name", 8, false, false, true},
                 {"photo", 14, false, true, false}, {"at", 5, false, false, false}},
                out);
  table->Row(1, {"7", "Zoë", "\x89PNG\r\n", "a\tb"}, out);
  table->Row(1, {"123456", "much too long", "", "12:30:00.500"}, out);
  table->Footer(2, out);
  EXPECT_EQ(out,
            "  id | name     | photo          | at\n"
            "-----+----------+----------------+------\n"
            "   7 | Zoë      | <6 bytes>      | a b\n"
            "123456 | much ... |                | 12:30:00.500\n"
            "(2 rows)\n");
  EXPECT_EQ(DisplayWidth("Zoë"), 3);
}

TEST(OrvsqlFormat, ExpandedRecordsKeepEveryValueWhole) {
  auto expanded = NewExpandedWriter();
  std::string out;
  expanded->Header({{"id", 4, true, false, false}, {"name", 4, false, false, true},
                    {"photo", 14, false, true, false}},
                   out);
  expanded->Row(7, {"7", "much too long", "\x89PNG"}, out);
  expanded->Row(8, {"8", "", "\x89"}, out);
  expanded->Footer(1, out);
  EXPECT_EQ(out,
            "-[ RECORD 7 ]--------\n"
            "id    | 7\n"
            "name  | much too long\n"
            "photo | <4 bytes>\n"
            "-[ RECORD 8 ]---\n"
            "id    | 8\n"
            "name  |\n"
            "photo | <1 byte>\n"
            "(1 row)\n");
}

TEST(OrvsqlFormat, TimingLines) {
  using std::chrono::microseconds;
  EXPECT_EQ(StatementClock::Text(3, true, microseconds(412), microseconds(500000)),
            "Time: 3 rows, first row 0.412 ms, total 500.000 ms, 6 rows/s");
  EXPECT_EQ(StatementClock::Text(0, true, std::nullopt, microseconds(1500)),
            "Time: 0 rows, total 1.500 ms");
  EXPECT_EQ(StatementClock::Text(1, false, std::nullopt, microseconds(20)),
            "Time: 1 row affected, total 0.020 ms");
}

}  // namespace
}  // namespace orv::orvsql
