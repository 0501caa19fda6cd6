#include "resultset/reply_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orv {
namespace {

// Writes every callback into one log line, so two parses can be compared.
class LogSink : public TReplySink {
 public:
  bool Stopped() override { return stop_after >= 0 && fields >= stop_after; }
  void ColumnRead(const TColumnDesc& c) override {
    log += "C[" + std::string(c.TypeCode) + "|" + std::string(c.Name) + "|" +
           std::to_string(c.FieldType) + "|" + std::to_string(c.Size) + "]";
  }
  void ColumnsRead() override { log += "D"; }
  void FieldRead(int32_t column, std::string_view value) override {
    ++fields;
    log += "F" + std::to_string(column) + "=" + std::string(value) + "|";
  }
  void RowRead() override { log += "R"; }

  std::string log;
  int fields = 0;
  int stop_after = -1;
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

const std::string kExample = "0;NAME;10;0;8;ID;4;0;5;Smith;2;42;0;;1;7;EOF;";

TEST(ReplyParser, ReadsTheExampleWhateverTheFrameSize) {
  Outcome whole = Feed(kExample, 2);
  EXPECT_EQ(whole.result, prComplete);
  EXPECT_EQ(whole.log,
            "C[0|NAME|1|11]C[8|ID|3|5]DF0=Smith|F1=42|RF0=|F1=7|R");
  for (size_t piece = 1; piece <= kExample.size(); ++piece) {
    Outcome cut = Feed(kExample, 2, piece);
    EXPECT_EQ(cut.result, prComplete) << piece;
    EXPECT_EQ(cut.log, whole.log) << piece;
  }
}

TEST(ReplyParser, ValuesMayHoldSeparatorsAndBlobsKeepTheirSize) {
  std::string reply = "4;MEMO;0;0;10;F;10;0;5;a;b;c;3;1.5;EOF;";
  Outcome out = Feed(reply, 2);
  EXPECT_EQ(out.result, prComplete);
  EXPECT_EQ(out.log, "C[4|MEMO|16|9]C[10|F|6|12]DF0=a;b;c|F1=1.5|R");
  // Exactly one byte follows a value, whatever it is.
  EXPECT_EQ(Feed("0;A;3;0;2;xyZ3;abcEOF;", 1).log, "C[0|A|1|4]DF0=xy|RF0=abc|R");
  // A type code of 128 keeps only its low 7 bits; 21 to 25 are unknown.
  EXPECT_EQ(Feed("128;A;1;0;EOF;", 1).log, "C[128|A|1|2]D");
  EXPECT_EQ(Feed("25;A;1;0;EOF;", 1).log, "C[25|A|0|2]D");
}

TEST(ReplyParser, EndMarkerPlacesAndSkippedDescriptions) {
  Outcome none = Feed("EOF;", 0);
  EXPECT_EQ(none.result, prComplete);
  EXPECT_EQ(none.log, "D");

  Outcome in_row = Feed("0;A;3;0;0;B;3;0;1;x;EOF;", 2);
  EXPECT_EQ(in_row.result, prEndInRow);
  EXPECT_EQ(in_row.log, "C[0|A|1|4]C[0|B|1|4]DF0=x|");

  // "EOF" only counts as a whole token; an unfinished marker waits.
  EXPECT_EQ(Feed("0;A;3;0;EOF", 1).result, prNeedMore);
  EXPECT_EQ(Feed("0;A;3;0;3;EOF;EOF;", 1).log, "C[0|A|1|4]DF0=EOF|R");

  // Text after the marker is never read.
  EXPECT_EQ(Feed("EOF;garbage", 0).result, prComplete);

  Outcome skipped = Feed("x;y;z;w;1;2;3;4;1;a;1;b;EOF;", 2, 0, false);
  EXPECT_EQ(skipped.result, prComplete);
  EXPECT_EQ(skipped.log, "DF0=a|F1=b|R");
}

TEST(ReplyParser, RefusesMalformedReplies) {
  struct Case {
    std::string reply;
    int32_t cols;
    std::string error;
  };
  const std::vector<Case> cases = {
      {"0;A;3;0;-1;;EOF;", 1, "data of column(1) is not valid!"},
      {"0;A;3;0;0;B;3;0;1;x;2000000000;", 2, "data of column(2) is not valid!"},
      {"0;A;3;0;x1;", 1, "'x1' is not a valid integer value"},
      {"0;A;-3;0;EOF;", 1, "length of column(1) is not valid!"},
      {"0;A;3;0;0;B;99999999;0;", 2, "length of column(2) is not valid!"},
      {"0;A;3;0;0;B;abc;0;", 2, "'abc' is not a valid integer value"},
      {"-1;A;3;0;EOF;", 1, "type of column(1) is not valid!"},
      {"int;A;3;0;EOF;", 1, "'int' is not a valid integer value"},
      {"1;x;EOF;", 0, "data of column(1) is not valid!"},
  };
  for (const Case& c : cases) {
    for (size_t piece : {size_t{0}, size_t{1}, size_t{3}}) {
      Outcome out = Feed(c.reply, c.cols, piece);
      EXPECT_EQ(out.result, prError) << c.reply;
      EXPECT_EQ(out.error, c.error) << c.reply;
    }
  }
  // 16 columns of the largest declared length overflow the row width bound.
  std::string wide;
  for (int i = 0; i < 5; ++i) wide += "0;C;" + std::to_string(kMaxDeclaredLength) + ";0;";
  EXPECT_EQ(Feed(wide, 5).error, "length of column(4) is not valid!");
}

TEST(ReplyParser, StopsWhenAskedAndStaysFinished) {
  TReplyParser parser(1, true);
  LogSink sink;
  sink.stop_after = 2;
  parser.Append("0;A;3;0;1;a;1;b;1;c;EOF;");
  EXPECT_EQ(parser.Parse(sink), prStopped);
  EXPECT_EQ(sink.log, "C[0|A|1|4]DF0=a|RF0=b|R");
  parser.Append("1;d;");
  EXPECT_EQ(parser.Parse(sink), prStopped);
  EXPECT_EQ(sink.fields, 2);
}

TEST(ReplyParser, ConsumesLargeRepliesFromTheFront) {
  TReplyParser parser(1, true);
  LogSink sink;
  parser.Append("0;A;3;0;");
  std::string frame;
  for (int i = 0; i < 1000; ++i) frame += "3;abc;";
  for (int f = 0; f < 200; ++f) {
    parser.Append(frame);
    ASSERT_EQ(parser.Parse(sink), prNeedMore);
    EXPECT_EQ(parser.Pending(), 0u);
  }
  EXPECT_EQ(parser.RowsRead(), 200000);
}

}  // namespace
}  // namespace orv
