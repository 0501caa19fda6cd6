// The command message and parameter block texts.
#include <gtest/gtest.h>

#include "dataset/request_text.h"
#include "host/datetime.h"

namespace orv {
namespace {

using enum TZozudQueryMode;

TEST(RequestText, CommandMessagesByKindAndMode) {
  EXPECT_EQ(BuildCommandMessage(skOpen, All, 0, 0, 0, "select 1\r\n"), "OPEN;;;0;\nselect 1\r\n");
  EXPECT_EQ(BuildCommandMessage(skOpen, Page, 101, 50, 2, "q"), "OPENPART;101;50;2;\nq");
  // The window belongs to opens only.
  EXPECT_EQ(BuildCommandMessage(skExec, Page, 101, 50, 0, "u"), "EXEC;;;0;\nu");
  EXPECT_EQ(BuildCommandMessage(skOpenProc, All, 0, 0, 1, "p"), "PROCOPEN;;;1;\np");
  EXPECT_EQ(BuildCommandMessage(skExecProc, All, 0, 0, 1, "p"), "PROCEXEC;;;1;\np");
}

TEST(RequestText, NoMessageLengthIsAMultipleOfAFullFrame) {
  const std::string head = "OPEN;;;0;\n";
  for (size_t total : {size_t{4092}, size_t{8184}}) {
    std::string text(total - head.size(), 'x');
    std::string message = BuildCommandMessage(skOpen, All, 0, 0, 0, text);
    EXPECT_EQ(message.size(), total + 1);
    EXPECT_EQ(message.back(), ' ');
  }
  EXPECT_EQ(BuildCommandMessage(skOpen, All, 0, 0, 0, std::string(4000, 'x')).size(),
            head.size() + 4000);
}

TEST(RequestText, ParameterEntriesPrefixesAndCounts) {
  TParams params;
  params.CreateParam(ftString, "A", ptInput)->SetAsString("xy");
  EXPECT_EQ(BuildParamBlock(params, skOpen, svUNIX, dtOracle), "I;:A;0;2;xy;");
  EXPECT_EQ(BuildParamBlock(params, skOpen, svNTServer, dtOracle), "I;A;0;2;xy;");
  EXPECT_EQ(BuildParamBlock(params, skExec, svUNIX, dtSybase), "I;@A;0;2;xy;");
  EXPECT_EQ(BuildParamBlock(params, skExecProc, svUNIX, dtSybase), "I;A;0;2;xy;");

  TParam* out = params.CreateParam(ftInteger, "R", ptResult);
  out->SetAsInteger(-5);
  params.CreateParam(ftInteger, "B", ptInputOutput)->SetAsInteger(7);
  params.CreateParam(ftInteger, "C", ptOutput)->SetAsInteger(8);
  EXPECT_EQ(CountSentParams(params, svUNIX, dtOracle), 4);
  EXPECT_EQ(CountSentParams(params, svNTServer, dtOracle), 3);
  EXPECT_EQ(CountSentParams(params, svUNIX, dtSybase), 3);
  EXPECT_EQ(BuildParamBlock(params, skOpen, svUNIX, dtOracle),
            "I;:A;0;2;xy;O;:R;8;2;-5;U;:B;8;1;7;O;:C;8;1;8;");
  EXPECT_EQ(BuildParamBlock(params, skOpen, svNTServer, dtOracle),
            "I;A;0;2;xy;U;B;8;1;7;O;C;8;1;8;");
}

TEST(RequestText, ValueTextsByType) {
  TParam p;
  p.SetAsDateTime(EncodeDate(2001, 3, 2) + EncodeTime(13, 4, 5, 0));
  EXPECT_EQ(ParamValueText(p), "20010302130405000");
  p.SetAsDate(EncodeDate(2001, 3, 2));
  EXPECT_EQ(ParamValueText(p), "20010302");
  p.SetAsTime(EncodeTime(13, 4, 5, 0));
  EXPECT_EQ(ParamValueText(p), "130405");
  p.SetAsBoolean(true);
  EXPECT_EQ(ParamValueText(p), "T");
  p.SetAsBoolean(false);
  EXPECT_EQ(ParamValueText(p), "F");
  p.SetAsFloat(-2.5);
  EXPECT_EQ(ParamValueText(p), "-2.5");
  p.SetAsFloat(0.1);
  EXPECT_EQ(ParamValueText(p), "0.1");
  p.SetAsSmallInt(-12);
  EXPECT_EQ(ParamValueText(p), "-12");
  p.SetAsMemo(std::string("a;b\0c", 5));
  EXPECT_EQ(ParamValueText(p), std::string("a;b\0c", 5));
}

TEST(RequestText, NullValuesGoOutEmptyWhateverTheirType) {
  TParams params;
  for (TFieldType type : {ftInteger, ftDateTime, ftBoolean, ftFloat, ftString}) {
    TParam* p = params.CreateParam(type, "P" + std::to_string(type), ptInput);
    p->Clear();
    EXPECT_EQ(ParamValueText(*p), "") << type;
  }
  EXPECT_EQ(BuildParamBlock(params, skOpen, svNTServer, dtOracle),
            "I;P3;8;0;;I;P11;12;0;;I;P5;11;0;;I;P6;10;0;;I;P1;0;0;;");
}

}  // namespace
}  // namespace orv
