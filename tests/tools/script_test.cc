#include "tools/script.h"

#include <gtest/gtest.h>

namespace orv::orvsql {
namespace {

TEST(OrvsqlScript, SplitsOnSeparatorLinesOnly) {
  const std::string text =
      "create table t (a text);\r\n"
      "insert into t values ('x;y');\n"
      "  ;  \n"
      "\n"
      "/\n"
      "begin\n"
      "  update t set a = 'a/b';\n"
      "end\n"
      "/\n"
      "select a\n"
      "  from t\n"
      "  \\edit t ORDER BY a \r\n"
      "\\commit";
  std::vector<std::string> s = SplitScript(text);
  ASSERT_EQ(s.size(), 5u);
  EXPECT_EQ(s[0], "create table t (a text);\ninsert into t values ('x;y');");
  EXPECT_EQ(s[1], "begin\n  update t set a = 'a/b';\nend");
  // A command line ends the statement before it.
  EXPECT_EQ(s[2], "select a\n  from t");
  EXPECT_EQ(s[3], "\\edit t ORDER BY a");
  EXPECT_EQ(s[4], "\\commit");
  EXPECT_TRUE(SplitScript("\n;\n/\n  \n").empty());
}

TEST(OrvsqlScript, QueriesAreTheStatementsStartingWithSelectOrWith) {
  EXPECT_TRUE(IsQuery("select 1"));
  EXPECT_TRUE(IsQuery("  SeLeCt\n*"));
  EXPECT_TRUE(IsQuery("WITH x AS (select 1) select * from x"));
  EXPECT_TRUE(IsQuery("-- the totals\n/* by day */ (select 1)"));
  EXPECT_FALSE(IsQuery("selected"));
  EXPECT_FALSE(IsQuery("insert into t select 1"));
  EXPECT_FALSE(IsQuery("-- select\nupdate t set a = 1"));
  EXPECT_FALSE(IsQuery("/* select"));
  EXPECT_FALSE(IsQuery(""));
}

TEST(OrvsqlScript, TransactionCommandsAreWholeStatements) {
  EXPECT_EQ(TransactionCommandOf(" Begin "), TransactionCommand::kBegin);
  EXPECT_EQ(TransactionCommandOf("START\n  transaction;"), TransactionCommand::kBegin);
  EXPECT_EQ(TransactionCommandOf("COMMIT"), TransactionCommand::kCommit);
  EXPECT_EQ(TransactionCommandOf("rollback ;"), TransactionCommand::kRollback);
  EXPECT_EQ(TransactionCommandOf("rollback to savepoint a"), TransactionCommand::kNone);
  EXPECT_EQ(TransactionCommandOf("begin immediate"), TransactionCommand::kNone);
  EXPECT_EQ(TransactionCommandOf("commits"), TransactionCommand::kNone);
}

TEST(OrvsqlScript, PromptStatementsEndAtALineEndingInSemicolon) {
  StatementCollector c;
  EXPECT_FALSE(c.AddLine(""));
  EXPECT_FALSE(c.Pending());
  EXPECT_FALSE(c.AddLine("select 'a;b'"));
  EXPECT_TRUE(c.Pending());
  EXPECT_FALSE(c.AddLine("  from t"));
  EXPECT_EQ(c.AddLine("  where x = 1 ;  ").value_or("-"), "select 'a;b'\n  from t\n  where x = 1");
  EXPECT_FALSE(c.Pending());
  EXPECT_FALSE(c.AddLine("  ;"));  // an empty statement runs nothing
  EXPECT_FALSE(c.AddLine("delete from t"));
  EXPECT_EQ(c.TakeRest().value_or("-"), "delete from t");
  EXPECT_FALSE(c.TakeRest());
}

}  // namespace
}  // namespace orv::orvsql
