// The readers of the parameter list and of returned parameters, on bytes
// cut at every place, and the conversion of returned values.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dataset/param_replies.h"
#include "host/datetime.h"
#include "host/params.h"

namespace orv {
namespace {

// Feeds `reply` to a fresh parser in two pieces cut at `cut`.
template <class Parser>
TParseResult ParseCut(Parser& parser, const std::string& reply, size_t cut) {
  parser.Append(reply.substr(0, cut));
  TParseResult first = parser.Parse();
  if (first != prNeedMore) return first;
  parser.Append(reply.substr(cut));
  return parser.Parse();
}

TEST(ParamListParser, ReadsEveryEntryWhereverTheReplyIsCut) {
  const std::string reply = "1;A;0;x;8;B;1;y;18;C;7;;";
  for (size_t cut = 0; cut <= reply.size(); ++cut) {
    TParamListParser parser(3);
    ASSERT_EQ(ParseCut(parser, reply, cut), prComplete) << cut;
    const auto& params = parser.Params();
    ASSERT_EQ(params.size(), 3u);
    EXPECT_EQ(params[0].Name, "A");
    EXPECT_EQ(params[0].DataType, ftBytes);
    EXPECT_EQ(params[0].Direction, ptInput);
    EXPECT_EQ(params[1].DataType, ftInteger);
    EXPECT_EQ(params[1].Direction, ptOutput);
    EXPECT_EQ(params[2].DataType, ftString);
    EXPECT_EQ(params[2].Direction, ptUnknown);
  }
}

TEST(ParamListParser, DirectionsAndMalformedEntries) {
  TParamListParser directions(4);
  directions.Append("8;A;0;;8;B;1;;8;C;2;;8;R;3;;");
  ASSERT_EQ(directions.Parse(), prComplete);
  std::vector<TParamType> got;
  for (const auto& p : directions.Params()) got.push_back(p.Direction);
  EXPECT_EQ(got, (std::vector<TParamType>{ptInput, ptOutput, ptInputOutput, ptResult}));

  TParamListParser none(0);
  EXPECT_EQ(none.Parse(), prComplete);

  for (const char* bad : {"x;A;0;;", "8;A;in;;"}) {
    TParamListParser parser(1);
    parser.Append(bad);
    EXPECT_EQ(parser.Parse(), prError) << bad;
    EXPECT_NE(parser.ErrorMessage().find("parameter 1"), std::string::npos);
    EXPECT_TRUE(parser.Params().empty());
  }
}

TEST(ReturnedParamParser, ReadsDescriptionsAndValuesWhereverTheReplyIsCut) {
  // A value may hold ";" and is taken by its length.
  const std::string reply = "10;amount;2;2;18;nm;1;3;4;15.5;4;a;b;;";
  for (size_t cut = 0; cut <= reply.size(); ++cut) {
    TReturnedParamParser parser(2);
    ASSERT_EQ(ParseCut(parser, reply, cut), prComplete) << cut;
    const auto& params = parser.Params();
    ASSERT_EQ(params.size(), 2u);
    EXPECT_EQ(params[0].Name, "amount");
    EXPECT_EQ(params[0].DataType, ftFloat);
    EXPECT_EQ(params[0].Value, "15.5");
    EXPECT_EQ(params[1].Value, "a;b;");
    EXPECT_TRUE(params[1].HasValue);
  }
}

TEST(ReturnedParamParser, AnEndMarkerLeavesTheRestWithoutValues) {
  TReturnedParamParser parser(3);
  parser.Append("8;A;1;;8;B;1;;8;C;1;;1;7;EOF;");
  ASSERT_EQ(parser.Parse(), prComplete);
  ASSERT_EQ(parser.Params().size(), 3u);
  EXPECT_TRUE(parser.Params()[0].HasValue);
  EXPECT_FALSE(parser.Params()[1].HasValue);
  EXPECT_FALSE(parser.Params()[2].HasValue);
}

TEST(ReturnedParamParser, MalformedLengthsAndTypesFail) {
  for (const char* bad : {"8;A;1;;-1;x;", "8;A;1;;+1;x;", "8;A;1;;;", "8;A;1;;99999999999;",
                          "q;A;1;;1;7;"}) {
    TReturnedParamParser parser(1);
    parser.Append(bad);
    EXPECT_EQ(parser.Parse(), prError) << bad;
    EXPECT_FALSE(parser.ErrorMessage().empty());
  }
  // A length longer than what came is waited for, not cut.
  TReturnedParamParser waiting(1);
  waiting.Append("8;A;1;;5;12;");
  EXPECT_EQ(waiting.Parse(), prNeedMore);
}

TEST(StoreReturnedValue, ConvertsByDataTypeAndKeepsIt) {
  struct Case {
    TFieldType type;
    const char* text;
    Variant expected;
  };
  const TDateTime day = EncodeDate(2001, 3, 2);
  const TDateTime time = EncodeTime(13, 4, 5, 678);
  const Case cases[] = {
      {ftInteger, "-42", Variant(-42)},
      {ftSmallint, "7", Variant(7)},
      {ftBoolean, "T", Variant(true)},
      {ftBoolean, "F", Variant(false)},
      {ftFloat, "2.5", Variant(2.5)},
      {ftDate, "20010302", Variant::FromDateTime(day)},
      {ftTime, "130405678", Variant::FromDateTime(time)},
      {ftDateTime, "20010302130405678", Variant::FromDateTime(day + time)},
      {ftBlob, "bytes", Variant(std::string("bytes"))},
      {ftMemo, "memo", Variant(std::string("memo"))},
      {ftCurrency, "1.25", Variant(std::string("1.25"))},
  };
  for (const Case& c : cases) {
    TParam param(nullptr);
    param.SetDataType(c.type);
    ASSERT_TRUE(StoreReturnedValue(param, c.text)) << c.text;
    EXPECT_EQ(param.DataType(), c.type) << c.text;
    EXPECT_TRUE(param.Value() == c.expected) << c.text << ": " << param.AsString();
  }
  for (auto [type, text] : {std::pair{ftInteger, "x"}, std::pair{ftFloat, ""},
                            std::pair{ftDateTime, "2001"}, std::pair{ftDate, "20011302"}}) {
    TParam param(nullptr);
    param.SetDataType(type);
    param.Clear();
    EXPECT_FALSE(StoreReturnedValue(param, text)) << text;
    EXPECT_TRUE(param.IsNull());
  }
}

}  // namespace
}  // namespace orv
