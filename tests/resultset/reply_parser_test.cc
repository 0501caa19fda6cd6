#include "resultset/reply_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orv {
namespace {

// Writes every callback into one log line.
class LogSink : public TReplySink {
 public:
  bool Stopped() override { return false; }
  void ColumnRead(const TColumnDesc& c) override {
    log += "C[" + std::string(c.Name) + "|" + std::to_string(c.FieldType) + "|" +
           std::to_string(c.Size) + "]";
  }
  void ColumnsRead() override { log += "D"; }
  void FieldRead(int32_t column, std::string_view value) override {
    log += "F" + std::to_string(column) + "=" + std::string(value) + "|";
  }
  void RowRead() override { log += "R"; }
  std::string log;
};

struct Outcome {
  TParseResult result;
  std::string log;
  std::string error;
};

// Feeds `reply` in pieces of `piece` bytes (0: all at once).
Outcome Feed(const std::string& reply, int32_t cols, size_t piece = 0,
             bool read_fields = true) {
  TReplyParser parser(cols, read_fields);
  LogSink sink;
  TParseResult result = prNeedMore;
  size_t step = piece == 0 ? reply.size() : piece;
  for (size_t at = 0; at < reply.size() && result == prNeedMore; at += step) {
    parser.Append(std::string_view(reply).substr(at, step));
    result = parser.Parse(sink);
  }
  return {result, sink.log, parser.ErrorMessage()};
}

TEST(ReplyParser, EndMarkerAndTypeCodes) {
  Outcome in_row = Feed("0;A;3;0;0;B;3;0;1;x;EOF;", 2);
  EXPECT_EQ(in_row.result, prEndInRow);
  EXPECT_EQ(in_row.log, "C[A|1|4]C[B|1|4]DF0=x|");
  // Only a whole token is the marker: unfinished, it waits; as data it is data.
  EXPECT_EQ(Feed("0;A;3;0;EOF", 1).result, prNeedMore);
  EXPECT_EQ(Feed("0;A;3;0;3;EOF;EOF;", 1).log, "C[A|1|4]DF0=EOF|R");
  EXPECT_EQ(Feed("EOF;garbage", 0).result, prComplete);
  // Exactly one byte follows a value, whatever it is.
  EXPECT_EQ(Feed("0;A;3;0;2;xyZ3;abcEOF;", 1).log, "C[A|1|4]DF0=xy|RF0=abc|R");
  // Low 7 bits of the type code, whatever its sign; 21 to 25 are unknown.
  EXPECT_EQ(Feed("128;A;1;0;25;B;1;0;-128;C;1;0;-1;D;1;0;EOF;", 4).log,
            "C[A|1|2]C[B|0|2]C[C|1|2]C[D|0|2]D");
  // Text and image columns take 9 places whatever length they declare.
  EXPECT_EQ(Feed("4;M;2147483647;0;5;I;2147483647;0;3;abc;0;;EOF;", 2).log,
            "C[M|" + std::to_string(ftMemo) + "|9]C[I|" + std::to_string(ftBlob) +
                "|9]DF0=abc|F1=|R");
  // Parameters go the other way, not as the inverse: ftSmallint is sent as stInt.
  EXPECT_EQ(GetColumnType("7"), ftSmallint);
  EXPECT_EQ(GetDBTypeCode(ftSmallint), stInt);
  EXPECT_EQ(GetDBTypeCode(ftFmtMemo), stText);
  EXPECT_EQ(GetDBTypeCode(ftLargeint), stFloat);
  EXPECT_EQ(GetDBTypeCode(ftAutoInc), stUnknown);
}

TEST(ReplyParser, RefusesMalformedReplies) {
  const std::vector<std::tuple<std::string, int32_t, std::string>> cases = {
      {"0;A;3;0;-1;;EOF;", 1, "data of column(1) is not valid!"},
      {"0;A;3;0;0;B;3;0;1;x;2000000000;", 2, "data of column(2) is not valid!"},
      // Ten digits past 2^31 are refused, never wrapped to a small length.
      {"0;A;3;0;4294967297;x;EOF;", 1, "data of column(1) is not valid!"},
      {"0;A;3;0;x1;", 1, "data of column(1) is not valid!"},
      {"0;A;3;0; 1;x;EOF;", 1, "data of column(1) is not valid!"},
      {"0;A;3;0;+1;x;EOF;", 1, "data of column(1) is not valid!"},
      {"0;A;3;0;0x1;x;EOF;", 1, "data of column(1) is not valid!"},
      {"0;A;3;0;;", 1, "data of column(1) is not valid!"},
      {"0;A;-3;0;EOF;", 1, "length of column(1) is not valid!"},
      {"0;A;3;0;0;B;99999999;0;", 2, "length of column(2) is not valid!"},
      {"0;A;3;0;0;B;abc;0;", 2, "length of column(2) is not valid!"},
      {"0;A; 3;0;EOF;", 1, "length of column(1) is not valid!"},
      {"int;A;3;0;EOF;", 1, "type of column(1) is not valid!"},
      {"4294967296;A;3;0;EOF;", 1, "type of column(1) is not valid!"},
      {";A;3;0;EOF;", 1, "type of column(1) is not valid!"},
      {"1;x;EOF;", 0, "data of column(1) is not valid!"},
  };
  for (const auto& [reply, cols, error] : cases) {
    for (size_t piece : {size_t{0}, size_t{1}, size_t{3}}) {
      Outcome out = Feed(reply, cols, piece);
      EXPECT_EQ(out.result, prError) << reply;
      EXPECT_EQ(out.error, error) << reply;
    }
  }
  // Five columns of the largest declared length overflow the row width.
  std::string wide;
  for (int i = 0; i < 5; ++i) wide += "0;C;" + std::to_string(kMaxDeclaredLength) + ";0;";
  EXPECT_EQ(Feed(wide, 5).error, "length of column(4) is not valid!");
}

TEST(ReplyParser, ConsumesLargeRepliesFromTheFront) {
  TReplyParser parser(1, true);
  LogSink sink;
  parser.Append("0;A;3;0;");
  std::string frame;
  for (int i = 0; i < 1000; ++i) frame += "3;abc;";
  for (int f = 0; f < 100; ++f) {
    parser.Append(frame);
    ASSERT_EQ(parser.Parse(sink), prNeedMore);
    EXPECT_EQ(parser.Pending(), 0u);
  }
  EXPECT_EQ(parser.RowsRead(), 100000);
}

}  // namespace
}  // namespace orv
