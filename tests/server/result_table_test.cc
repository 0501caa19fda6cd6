#include "server/result_table.h"

#include <gtest/gtest.h>

#include <deque>
#include <utility>

#include "server/value_text.h"

namespace orv::server {
namespace {

class StringSink : public ByteSink {
 public:
  void Write(std::string_view bytes) override { data.append(bytes); }
  std::string data;
};

// Payloads of the frames in data; fails the test on a malformed frame.
std::vector<std::string> Frames(const std::string& data) {
  std::vector<std::string> out;
  for (std::size_t pos = 0; pos < data.size();) {
    std::size_t length = std::stoul(data.substr(pos, 4));
    EXPECT_LE(pos + 4 + length, data.size());
    out.push_back(data.substr(pos + 4, length));
    pos += 4 + length;
  }
  return out;
}

std::string Wire(const ResultTable& table) {
  StringSink sink;
  FrameWriter writer(&sink);
  table.Write(&writer);
  writer.Flush();
  std::string text;
  for (auto& f : Frames(sink.data)) text += f;
  return text;
}

TEST(ResultTableTest, WritesDescriptionsRowsAndEndMarker) {
  ResultTable t({{"NAME", "VARCHAR(10)"}, {"ID", "INTEGER"}});
  t.AddText("Smith");
  t.AddInteger(42);
  t.AddNull();
  t.AddInteger(7);
  EXPECT_EQ(t.RowCount(), 2u);
  EXPECT_EQ(Wire(t), "18;NAME;10;0;8;ID;11;0;5;Smith;2;42;0;;1;7;EOF;");
  ResultTable none({});
  EXPECT_EQ(Wire(none), "EOF;");
}

TEST(ResultTableTest, ColumnDecisionsFollowTheValuesAndHoldThem) {
  using Kind = ResultValue::Kind;
  std::deque<std::string> texts;  // the bytes the values below point at
  auto i = [](std::int64_t v) { return ResultValue{Kind::kInteger, v, 0, {}}; };
  auto r = [](double v) { return ResultValue{Kind::kReal, 0, v, {}}; };
  auto s = [&texts](std::string v) { return ResultValue{Kind::kText, 0, 0, texts.emplace_back(std::move(v))}; };
  const ResultValue null;
  struct Case {
    const char* decl;
    std::vector<ResultValue> values;
    int code;
    std::size_t length;
  };
  const Case cases[] = {
      {"INTEGER", {i(1), i(-2147483648LL)}, kStInt, 11},
      {"INTEGER", {i(1LL << 40)}, kStFloat, 24},
      {"INTEGER", {i(INT64_MAX)}, kStVarchar, 255},
      {"", {i(1), r(0.5)}, kStFloat, 24},
      {"REAL", {null}, kStFloat, 24},
      {"NUMERIC", {r(-1.5e-300)}, kStFloat, 24},
      {"CHAR(4)", {s("abcdef")}, kStVarchar, 6},
      {"VARCHAR(4000)", {null}, kStVarchar, 4000},
      {"", {s(std::string(4000, 'x'))}, kStVarchar, 4000},
      {"TEXT", {s(std::string(4001, 'x'))}, kStText, 4001},
      // As from "select name from t union all select -123456": the sign counts.
      {"VARCHAR(5)", {s("ab"), i(-123456)}, kStVarchar, 7},
      {"", {null}, kStVarchar, 255},
      {"", {i(1), s("a")}, kStVarchar, 255},
      {"BOOLEAN", {i(1), i(0), null}, kStBit, 1},
      {"BOOLEAN", {i(2)}, kStInt, 11},
      {"DATETIME", {s("2001-03-02 13:04:05"), null}, kStDateTime, 17},
      {"DATE", {s("2001-03-02"), s("later")}, kStVarchar, 255},
      {"DATE", {i(5)}, kStVarchar, 255},
      {"BLOB", {s("text in a blob column")}, kStImage, 21},
      {"", {ResultValue{Kind::kBlob, 0, 0, "xy"}}, kStImage, 2},
  };
  for (const Case& c : cases) {
    ResultTable t(std::vector<ColumnDecl>{{"c", c.decl}});
    for (const ResultValue& v : c.values) t.Add(v);
    ColumnOut out = t.Describe().at(0);
    EXPECT_EQ(out.type_code, c.code) << c.decl << " " << c.values.size();
    EXPECT_EQ(out.length, c.length) << c.decl;
    // A streamed result's second pass is checked against the decision made
    // from its first: every value that made a decision keeps to it.
    for (const ResultValue& v : c.values) EXPECT_TRUE(ColumnStats::Fits(out, v)) << c.decl;
  }
  // And a value that would have decided otherwise does not.
  auto column = [](int code, std::size_t length, ColumnOut::Mode mode = ColumnOut::Mode::kRaw) {
    ColumnOut c;
    c.type_code = code;
    c.length = length;
    c.mode = mode;
    return c;
  };
  const std::pair<ColumnOut, ResultValue> misfits[] = {
      {column(kStBit, 1, ColumnOut::Mode::kBool), i(2)},
      {column(kStDateTime, 17, ColumnOut::Mode::kDate), s("later")},
      {column(kStDateTime, 17, ColumnOut::Mode::kDate), i(20010302)},
      {column(kStInt, 11), i(1LL << 40)},
      {column(kStInt, 11), r(1.5)},
      {column(kStFloat, 24), i((1LL << 53) + 1)},
      {column(kStFloat, 24), s("1.5")},
      {column(kStVarchar, 5), s("abcdef")},
      {column(kStVarchar, 5), i(-123456)},
      {column(kStVarchar, 3), r(0.25)},
      {column(kStVarchar, 255), ResultValue{Kind::kBlob, 0, 0, "xy"}},
  };
  for (const auto& [out, v] : misfits) EXPECT_FALSE(ColumnStats::Fits(out, v)) << out.type_code;

  // Converted forms on the wire: booleans as T/F, dates as 17 digits.
  ResultTable t({{"b", "BOOL"}, {"d", "TIMESTAMP"}, {"x;y", ""}});
  t.AddInteger(1);
  t.AddText("2001-03-02 13:04:05.5");
  t.AddReal(1e-300);
  EXPECT_EQ(Wire(t), "11;b;1;0;12;d;17;0;10;x_y;24;0;1;T;17;20010302130405500;6;1e-300;EOF;");
}

TEST(ResultTableTest, LongResultsSplitIntoFullFramesNeverEmpty) {
  ResultTable t(std::vector<ColumnDecl>{{"v", "TEXT"}});
  for (int k = 0; k < 3000; ++k) t.AddText("value " + std::to_string(k));
  StringSink sink;
  FrameWriter writer(&sink);
  writer.ResultLine(1, "OK");
  t.Write(&writer);
  writer.Flush();
  auto frames = Frames(sink.data);
  ASSERT_GT(frames.size(), 3u);
  EXPECT_EQ(frames[0], "1;OK");
  for (std::size_t k = 1; k + 1 < frames.size(); ++k) EXPECT_EQ(frames[k].size(), 4092u);
  EXPECT_FALSE(frames.back().empty());
  EXPECT_EQ(frames.back().substr(frames.back().size() - 4), "EOF;");
}

}  // namespace
}  // namespace orv::server
