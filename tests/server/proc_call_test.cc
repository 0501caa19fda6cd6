#include "server/proc_call.h"

#include <gtest/gtest.h>

namespace orv::server {
namespace {

using Args = std::vector<std::string>;

TEST(ProcCallTest, ReadsBothFormsAndRefusesAnythingElse) {
  struct Case {
    const char* text;
    const char* procedure;
    bool block;
    const char* result;
    Args args;
  };
  const Case calls[] = {
      {"BEGIN P(:A,:B); END;", "P", true, "", {"A", "B"}},
      {"  begin :R := F( :X ) ;end;\r\n", "F", true, "R", {"X"}},
      {"BEGIN :R := F; END;", "F", true, "R", {}},
      {"BEGIN main.P; END", "main.P", true, "", {}},
      {"public.\"MyProc\"\r\n", "public.\"MyProc\"", false, "", {}},
  };
  std::string error;
  for (const Case& c : calls) {
    auto call = ParseProcCall(c.text, &error);
    ASSERT_TRUE(call.has_value()) << c.text << ": " << error;
    EXPECT_EQ(call->procedure, c.procedure) << c.text;
    EXPECT_EQ(call->block, c.block) << c.text;
    EXPECT_EQ(call->result, c.result) << c.text;
    EXPECT_EQ(call->args, c.args) << c.text;
  }
  const char* refused[] = {
      "BEGIN P(:A,); END;", "BEGIN P(1); END;",  // arguments are placeholders only
      "BEGIN P(:A); Q; END;",                    // one call per block
      "BEGIN R := F(:X); END;",                  // the target is a placeholder
      "BEGIN P(:A) END;", "drop table t", "",
  };
  for (const char* text : refused) {
    EXPECT_FALSE(ParseProcCall(text, &error)) << text;
    EXPECT_NE(error.find("not a procedure call"), std::string::npos);
  }
}

ParamEntry Entry(const std::string& name, const std::string& value = "1") {
  return {'I', name, 8, value};
}

const std::vector<ProcParam> kFunction = {{"R", ProcDirection::kResult, 8, 11},
                                          {"A", ProcDirection::kIn, 8, 11},
                                          {"B", ProcDirection::kOut, 18, 20},
                                          {"C", ProcDirection::kInOut, 10, 24}};

TEST(ProcCallTest, BindsBlockPlaceholdersByPositionAndBareEntriesByName) {
  std::string error;
  std::vector<CallArg> args;
  // The block's own names go back; they bind the block's entries.
  auto block = ParseProcCall("BEGIN :X := F(:P,:Q,:S); END;", &error);
  std::vector<ParamEntry> entries = {Entry(":P", "7"), Entry(":S", "9")};
  ASSERT_TRUE(BindCall(*block, "F", kFunction, entries, &args, &error)) << error;
  EXPECT_EQ(args[0].reply_name, ":X");
  EXPECT_EQ(args[1].input->value, "7");
  EXPECT_EQ(args[2].input, nullptr);
  EXPECT_EQ(args[2].reply_name, ":Q");
  EXPECT_EQ(args[3].input->value, "9");

  auto bare = ParseProcCall("F", &error);
  entries = {Entry("c", "3"), Entry("A", "4"), Entry("b")};
  ASSERT_TRUE(BindCall(*bare, "F", kFunction, entries, &args, &error)) << error;
  EXPECT_EQ(args[0].reply_name, "R");
  EXPECT_EQ(args[1].input->value, "4");
  EXPECT_EQ(args[3].input->value, "3");
  // Names go back as the client spelt them, which it compares exactly.
  EXPECT_EQ(args[3].reply_name, "c");
  EXPECT_EQ(args[2].reply_name, "b");
}

TEST(ProcCallTest, RefusesCallsThatDoNotFitTheProcedure) {
  const std::vector<ProcParam> procedure(kFunction.begin() + 1, kFunction.end());
  struct Case {
    const char* text;
    const std::vector<ProcParam>* params;
    std::vector<ParamEntry> entries;
    const char* error;
  };
  const Case cases[] = {
      {"BEGIN F(:A,:B,:C); END;", &kFunction, {Entry("A"), Entry("C")}, "returns a result"},
      {"BEGIN :R := P(:A,:B,:C); END;", &procedure, {Entry("A"), Entry("C")}, "returns no result"},
      {"BEGIN P(:A,:B); END;", &procedure, {Entry("A")}, "takes 3 parameters; the call gives 2"},
      {"BEGIN P(:A,:B,:C); END;", &procedure, {Entry("A")}, "no value given for parameter C"},
      {"P", &procedure, {Entry("A"), Entry("C"), Entry("Z")}, "P has no parameter Z"},
      {"P", &procedure, {Entry("C")}, "no value given for parameter A of P"},
  };
  for (const Case& c : cases) {
    std::string error;
    std::vector<CallArg> args;
    auto call = ParseProcCall(c.text, &error);
    EXPECT_FALSE(BindCall(*call, "P", *c.params, c.entries, &args, &error)) << c.text;
    EXPECT_NE(error.find(c.error), std::string::npos) << c.text << ": " << error;
  }
}

TEST(ProcCallTest, ReturnedTextPutsNullsLastBehindEof) {
  EXPECT_EQ(ReturnedText({}), "EOF;");
  EXPECT_EQ(ReturnedText({{8, ":R", ProcDirection::kResult, "42"},
                          {18, ":B", ProcDirection::kOut, std::nullopt},
                          {18, ":C", ProcDirection::kInOut, "a;b"}}),
            "8;:R;3;2;18;:C;2;3;18;:B;1;0;2;42;3;a;b;EOF;");
  EXPECT_EQ(ReturnedText({{8, "n", ProcDirection::kOut, ""}}), "8;n;1;0;0;;");
  EXPECT_EQ(ParamListText({{"A", ProcDirection::kIn, 8, 11}, {"B", ProcDirection::kOut, 18, 20}}),
            "8;A;0;11;18;B;1;20;");
}

}  // namespace
}  // namespace orv::server
