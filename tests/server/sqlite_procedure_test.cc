#include "server/sqlite_procedure.h"

#include <gtest/gtest.h>

#include "server/value_text.h"

namespace orv::server {
namespace {

TEST(SqliteProcedureTest, ReadsParametersAndCutsTheBodyWhereSqliteWould) {
  ProcDdl ddl;
  std::string error;
  ASSERT_TRUE(ParseProcDdl(
      "create procedure Main.P (result r integer, a varchar(12), in out b double precision,\n"
      "  out c numeric(10,2), inout d datetime) as begin\n"
      "  create trigger tr after insert on t begin update t set n = 1; end;\n"
      "  SET :c, @b = select 'x;y', :a;\n"
      "  select 1\n"
      "end;\r\n",
      &ddl, &error))
      << error;
  const ProcDefinition& def = ddl.definition;
  EXPECT_EQ(def.name, "P");
  ASSERT_EQ(def.params.size(), 5u);
  const std::pair<ProcDirection, int> wanted[] = {
      {ProcDirection::kResult, kStInt}, {ProcDirection::kIn, kStVarchar},
      {ProcDirection::kInOut, kStFloat}, {ProcDirection::kOut, kStFloat},
      {ProcDirection::kInOut, kStDateTime}};
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(def.params[i].direction, wanted[i].first) << i;
    EXPECT_EQ(def.params[i].type_code, wanted[i].second) << i;
  }
  EXPECT_EQ(def.params[1].length, 12u);

  std::vector<ProcStep> steps;
  ASSERT_TRUE(SplitBody(def, &steps, &error)) << error;
  ASSERT_EQ(steps.size(), 3u);
  EXPECT_NE(steps[0].sql.find("end;"), std::string::npos);
  EXPECT_EQ(steps[1].targets, (std::vector<std::size_t>{3, 2}));
  EXPECT_EQ(steps[1].sql, " select 'x;y', :a;");
  EXPECT_EQ(steps[2].sql, "select 1");
}

TEST(SqliteProcedureTest, RefusesMalformedDefinitionsWithTheirReason) {
  const std::pair<const char*, const char*> cases[] = {
      {"CREATE PROCEDURE 1p AS BEGIN END", "expected a procedure name"},
      {"CREATE PROCEDURE p (a FOO) AS BEGIN END", "has type 'FOO'"},
      {"CREATE PROCEDURE p (a int, A int) AS BEGIN END", "names parameter A twice"},
      {"CREATE PROCEDURE p (a int, result r int) AS BEGIN END", "must come first"},
      {"CREATE PROCEDURE p (a int AS BEGIN END", "no closing ')'"},
      {"CREATE PROCEDURE p (a int) BEGIN END", "expected AS BEGIN"},
      {"CREATE PROCEDURE p (a int) AS BEGIN select 1", "expected AS BEGIN"},
      {"CREATE PROCEDURE p (a int) AS BEGIN SET :a = select 1; END", "assigns an input"},
      {"CREATE PROCEDURE p (out a int) AS BEGIN SET :b = select 1; END", "names no parameter"},
      {"CREATE PROCEDURE p (out a int) AS BEGIN SET :a; END", "needs '= SELECT"},
      {"CREATE PROCEDURE p AS BEGIN /* x */ commit; END", "cannot COMMIT"},
      {"DROP PROCEDURE p q", "unexpected 'q'"},
  };
  for (const auto& [text, reason] : cases) {
    ProcDdl ddl;
    std::string error;
    EXPECT_TRUE(IsProcDdl(text)) << text;
    EXPECT_FALSE(ParseProcDdl(text, &ddl, &error)) << text;
    EXPECT_NE(error.find(reason), std::string::npos) << text << ": " << error;
  }
  EXPECT_FALSE(IsProcDdl("create table procedure (a)"));
}

}  // namespace
}  // namespace orv::server
