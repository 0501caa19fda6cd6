// Placeholder parsing and the query's SQL change handler.
#include <gtest/gtest.h>

#include "dataset/orv_query.h"

namespace orv {
namespace {

std::string Names(const TParams& params) {
  std::string names;
  for (int i = 0; i < params.Count(); ++i) names += (i ? "," : "") + params[i]->Name();
  return names;
}

TEST(ParseSQL, ExamplesAndLiteralRules) {
  struct Case { const char* text; const char* out; const char* names; } cases[] = {
      {"select * from T where A = :A and B = ':x'", "select * from T where A = @A and B = ':x'", "A"},
      {"update T set C = :'my name'", "update T set C = @my name", "my name"},
      {"select x::int from T", "select x:int from T", ""},
      {"where A = :X and B = :X", "where A = @X and B = @X", "X,X"},
      // Any of the three quotes closes a literal another one opened.
      {"a = \"x' :p", "a = \"x' @p", "p"},
      {"a = `x:y` and ':a::b'", "a = `x:y` and ':a::b'", ""},
      // Only blank , ; ) CR LF end a name.
      {"f(:a) + :b=1", "f(@a) + @b=1", "a,b=1"},
      {"x=:a,:b;:c\r\n:d\n:e", "x=@a,@b;@c\r\n@d\n@e", "a,b,c,d,e"},
      {"x = :tail", "x = @tail", "tail"},
      // An unbalanced quote ends all parameters after it.
      {"a = 'open :p", "a = 'open :p", ""},
  };
  for (const Case& c : cases) {
    TParams list;
    EXPECT_EQ(TOrvDataSet::ParseSQL(c.text, &list), c.out) << c.text;
    EXPECT_EQ(Names(list), c.names) << c.text;
  }
  EXPECT_EQ(TOrvDataSet::ParseSQL("a = :p", nullptr), "a = @p");
}

TEST(OrvQuery, SQLChangesRebuildParamsKeepingValues) {
  TOrvQuery query(nullptr);
  query.SQL()->Add("select * from T where A = :A and B = :B");
  ASSERT_EQ(query.Params()->Count(), 2);
  EXPECT_EQ(query.Text(), "select * from T where A = @A and B = @B\r\n");
  query.ParamByName("A")->SetAsInteger(5);
  query.ParamByName("B")->SetAsString("b");

  query.SQL()->SetText("select * from T where B = :B or C = :C and D = :B");
  EXPECT_EQ(Names(*query.Params()), "B,C,B");
  EXPECT_EQ(query.Params()->Items(0)->AsString(), "b");
  EXPECT_EQ(query.Params()->Items(2)->AsString(), "b");
  EXPECT_TRUE(query.Params()->Items(1)->IsNull());
  EXPECT_EQ(query.Params()->FindParam("A"), nullptr);

  query.SetParamCheck(false);
  query.SQL()->SetText("select :Z from T");
  EXPECT_EQ(Names(*query.Params()), "B,C,B");
  EXPECT_EQ(query.Text(), "select :Z from T\r\n");

  // In the designer the parameters follow the text whatever ParamCheck says.
  query.SetDesigning(true);
  query.SQL()->SetText("select :Z from T");
  EXPECT_EQ(Names(*query.Params()), "Z");
}

}  // namespace
}  // namespace orv
