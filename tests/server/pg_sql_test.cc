#include "server/pg_sql.h"

#include <gtest/gtest.h>

namespace orv::server {
namespace {

struct Case {
  const char* sql;
  const char* text;                  // the one statement it becomes
  std::vector<std::string> slots;
};

TEST(PgSqlTest, PlaceholdersBecomePositionalOutsideQuotedText) {
  const Case cases[] = {
      {"select * from t where a = :a and b = @B", "select * from t where a = $1 and b = $2",
       {":a", "@B"}},
      // One number per name, whatever its prefix or case.
      {"values(:x, @X, :x)", "values($1, $1, $1)", {":x"}},
      // Casts, literals, identifiers, comments and dollar quotes stay.
      {"select x::int, ':a', \"@b\", E'\\':c', $$:d$$, $f$ :e $f$ -- :g\n from t /* :h /* :i */ */",
       "select x::int, ':a', \"@b\", E'\\':c', $$:d$$, $f$ :e $f$ -- :g\n from t /* :h /* :i */ */",
       {}},
      {"select 'it''s :a', :b", "select 'it''s :a', $1", {":b"}},
      // Written $n keep their place; names are numbered after them.
      {"select $2, :a, $1", "select $2, $3, $1", {"", "", ":a"}},
      // A slice or an operator after a word is not a placeholder.
      {"select a[lo:hi], x@y from t", "select a[lo:hi], x@y from t", {}},
      {"select :_1é", "select $1", {":_1é"}},
      {"select ':unclosed", "select ':unclosed", {}},
  };
  for (const Case& c : cases) {
    auto statements = PgStatements(c.sql);
    ASSERT_EQ(statements.size(), 1u) << c.sql;
    EXPECT_EQ(statements[0].text, c.text) << c.sql;
    EXPECT_EQ(statements[0].slots, c.slots) << c.sql;
  }
}

TEST(PgSqlTest, SemicolonsOutsideQuotedTextSplitStatements) {
  auto s = PgStatements(
      "insert into t values(:a, ';');\n -- done;\ncreate function f() returns int as $$ "
      "select 1; $$ language sql; /* ; */ ;  update t set b = :b");
  ASSERT_EQ(s.size(), 3u);
  EXPECT_EQ(s[0].text, "insert into t values($1, ';')");
  EXPECT_EQ(s[1].slots.size(), 0u);
  EXPECT_NE(s[1].text.find("select 1; $$"), std::string::npos);
  EXPECT_EQ(s[2].text, "  update t set b = $1");
  EXPECT_EQ(s[2].slots, std::vector<std::string>{":b"});
  EXPECT_TRUE(PgStatements(" ; -- nothing\n").empty());
}

TEST(PgSqlTest, ReadingQueriesAreKnownByTheirFirstWord) {
  EXPECT_TRUE(PgReadsOnly("select 1"));
  EXPECT_TRUE(PgReadsOnly(" -- why\n /* a /* b */ */ VALUES (1)"));
  EXPECT_TRUE(PgReadsOnly("Table t"));
  EXPECT_FALSE(PgReadsOnly("with d as (delete from t returning *) select * from d"));
  EXPECT_FALSE(PgReadsOnly("insert into t values(1) returning a"));
  EXPECT_FALSE(PgReadsOnly("selection"));
}

}  // namespace
}  // namespace orv::server
