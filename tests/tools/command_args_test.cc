#include "tools/command_args.h"

#include <gtest/gtest.h>

namespace orv::orvsql {
namespace {

std::string Show(const std::vector<Assignment>& list) {
  std::string out;
  for (const Assignment& a : list) out += a.field + "=" + (a.value ? "[" + *a.value + "]" : "NULL") + " ";
  return out;
}

TEST(OrvsqlCommandArgs, AssignmentsTakeLiteralsBareWordsAndNull) {
  struct Case {
    const char* text;
    const char* parsed;  // nullptr: refused
  };
  const Case cases[] = {
      {"Name='Rock and Roll'", "Name=[Rock and Roll] "},
      {"  a=1   b='it''s'  c=NULL d='NULL' e=null f=''", "a=[1] b=[it's] c=NULL d=[NULL] e=NULL f=[] "},
      {"a=x=y b=2020-01-02", "a=[x=y] b=[2020-01-02] "},
      {"a= b=1", "a=[] b=[1] "},
      {"", nullptr},
      {"a", nullptr},
      {"=1", nullptr},
      {"a='open", nullptr},
      {"a='x'y", nullptr},
      {"a=1 A=2", nullptr},
  };
  for (const Case& c : cases) {
    std::string error;
    std::optional<std::vector<Assignment>> list = ParseAssignments(c.text, error);
    if (c.parsed == nullptr) {
      EXPECT_FALSE(list) << c.text;
      EXPECT_NE(error, "") << c.text;
    } else {
      ASSERT_TRUE(list) << c.text << ": " << error;
      EXPECT_EQ(Show(*list), c.parsed) << c.text;
    }
  }
}

TEST(OrvsqlCommandArgs, EditTargetsSplitWhereAndOrderByOutsideQuotes) {
  struct Case {
    const char* text;
    const char* table;  // nullptr: refused
    const char* condition;
    const char* fields;
  };
  const Case cases[] = {
      {"parts", "parts", "", ""},
      {"parts where price > 1", "parts", "price > 1", ""},
      {"parts ORDER BY name, id", "parts", "", "name;id"},
      {"parts WHERE note = 'order by x' Order By id", "parts", "note = 'order by x'", "id"},
      {"parts where \"order\" = 1 order by \"order\"", "parts", "\"order\" = 1", "\"order\""},
      {"", nullptr, "", ""},
      {"parts price > 1", nullptr, "", ""},
      {"parts where", nullptr, "", ""},
      {"parts order by", nullptr, "", ""},
      {"parts order by a,,b", nullptr, "", ""},
  };
  for (const Case& c : cases) {
    std::string error;
    std::optional<EditTarget> t = ParseEditTarget(c.text, error);
    if (c.table == nullptr) {
      EXPECT_FALSE(t) << c.text;
      continue;
    }
    ASSERT_TRUE(t) << c.text << ": " << error;
    EXPECT_EQ(t->table, c.table);
    EXPECT_EQ(t->condition, c.condition) << c.text;
    EXPECT_EQ(t->index_fields, c.fields) << c.text;
  }
}

TEST(OrvsqlCommandArgs, CommandsAndFlags) {
  EXPECT_TRUE(IsCommandLine("  \\edit t"));
  EXPECT_FALSE(IsCommandLine("select '\\'"));
  CommandLine c = SplitCommand("  \\find  -i -p name=x  ");
  EXPECT_EQ(c.name, "\\find");
  EXPECT_EQ(c.rest, "-i -p name=x");
  EXPECT_EQ(TakeFlags(c.rest, {"-i", "-p"}), (std::vector<std::string>{"-i", "-p"}));
  EXPECT_EQ(c.rest, "name=x");
  std::string rest = "-x a=1";
  EXPECT_TRUE(TakeFlags(rest, {"-i"}).empty());
  EXPECT_EQ(TakeWord(rest), "-x");
  EXPECT_EQ(rest, "a=1");
}

}  // namespace
}  // namespace orv::orvsql
