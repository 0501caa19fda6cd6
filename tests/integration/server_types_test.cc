// Values through the real rdbserver: parameter binding, type codes, declared
// lengths and the round trips of every kind of value.
#include <cmath>
#include <cstdlib>

#include "integration/server_fixture.h"

namespace orv::test {
namespace {

using P = FrameClient;

class ServerTypesTest : public ServerTest {};

// What does not depend on the database's own types runs on both backends.
class ServerStatementsTest : public OnEachBackend<ServerTest> {};
ORV_ON_EACH_BACKEND(ServerStatementsTest);

TEST_F(ServerTypesTest, ColumnsGetTypeCodesAndLengthsThatHoldTheirValues) {
  Exec("create table types(i integer, v varchar(10), t text, r real, d datetime, b blob, "
       "f boolean, n numeric)");
  std::string block = P::Param(":i", kInt, "42") + P::Param(":v", 0, "short") +
                      P::Param(":t", 0, std::string(5000, 'x')) + P::Param(":r", kFloat, "1.5") +
                      P::Param(":d", kDateTime, "20010302130405000") +
                      P::Param(":b", kImage, "a") + P::Param(":f", kBit, "T") +
                      P::Param(":n", kFloat, "7");
  EXPECT_EQ(Exec("insert into types values(:i, :v, :t, :r, :d, :b, :f, :n)", block, 8), 1);
  // A second row makes v longer than its declared 10 and leaves the rest null.
  EXPECT_EQ(Exec("insert into types(v, f) values(:v, :f)",
                 P::Param(":v", 0, "twelve bytes") + P::Param(":f", kBit, "F"), 2),
            1);

  ResultSet rs = Open("select * from types order by rowid");
  ASSERT_EQ(rs.columns.size(), 8u);
  auto col = [&](int i) { return std::make_pair(rs.columns[i].type_code, rs.columns[i].length); };
  EXPECT_EQ(rs.columns[0].name, "i");
  EXPECT_EQ(col(0), std::make_pair(int{kInt}, 11));
  EXPECT_EQ(col(1), std::make_pair(int{kVarchar}, 12));  // widened from 10 for a value
  EXPECT_EQ(col(2), std::make_pair(int{kText}, 5000));
  EXPECT_EQ(col(3), std::make_pair(int{kFloat}, 24));
  EXPECT_EQ(col(4), std::make_pair(int{kDateTime}, 17));
  EXPECT_EQ(rs.columns[5].type_code, kImage);
  EXPECT_EQ(col(6), std::make_pair(int{kBit}, 1));
  EXPECT_EQ(rs.columns[7].type_code, kInt);
  ASSERT_EQ(rs.rows.size(), 2u);
  EXPECT_EQ(rs.rows[0], (std::vector<std::string>{"42", "short", std::string(5000, 'x'), "1.5",
                                                  "20010302130405000", "a", "T", "7"}));
  EXPECT_EQ(rs.rows[1], (std::vector<std::string>{"", "twelve bytes", "", "", "", "", "F", ""}));

  // Empty tables keep natural widths rather than the width of no values.
  Exec("create table empty_types(i integer, v varchar(30), t text, r double, d date)");
  rs = Open("select * from empty_types");
  EXPECT_EQ(col(0), std::make_pair(int{kInt}, 11));
  EXPECT_EQ(col(1), std::make_pair(int{kVarchar}, 30));
  EXPECT_EQ(col(2), std::make_pair(int{kVarchar}, 255));
  EXPECT_EQ(col(3), std::make_pair(int{kFloat}, 24));
  EXPECT_EQ(col(4), std::make_pair(int{kDateTime}, 17));
  EXPECT_TRUE(rs.rows.empty());

  // Names keep their text, with ';' replaced since a name is a ';'-ended token.
  rs = Open("select 1 as \"a;b\", 2 as \"\"");
  EXPECT_EQ(rs.columns[0].name, "a_b");
  EXPECT_EQ(rs.columns[1].name, "");
}

TEST_F(ServerTypesTest, NumbersRoundTripExactly) {
  Exec("create table nums(r real, i integer)");
  const double reals[] = {0.1, -123.456, 1e-300, 1.7976931348623157e308, 2.5e-7, 1e21, 0};
  for (double r : reals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.17g", r);
    Exec("insert into nums(r) values(:r)", P::Param(":r", kFloat, text), 1);
  }
  ResultSet rs = Open("select r from nums order by rowid");
  ASSERT_EQ(rs.rows.size(), std::size(reals));
  for (std::size_t k = 0; k < std::size(reals); ++k) {
    const std::string& v = rs.rows[k][0];
    EXPECT_EQ(std::strtod(v.c_str(), nullptr), reals[k]) << v;
    EXPECT_LE(v.size(), static_cast<std::size_t>(rs.columns[0].length)) << v;
  }
  EXPECT_EQ(rs.rows[0][0], "0.1");  // plain decimal where it fits

  // Integers: 32-bit as stInt, up to 2^53 as a float code, wider as text.
  EXPECT_EQ(Open("select 2147483647, -2147483648").columns[0].type_code, kInt);
  rs = Open("select 9007199254740992 as a");
  EXPECT_EQ(rs.columns[0].type_code, kFloat);
  EXPECT_EQ(rs.rows[0][0], "9007199254740992");
  rs = Open("select 9223372036854775807 as a");
  EXPECT_EQ(rs.columns[0].type_code, kVarchar);
  EXPECT_EQ(rs.rows[0][0], "9223372036854775807");
  // A large integer sent with a float code stays exact.
  Exec("insert into nums(i) values(:i)", P::Param(":i", kFloat, "9223372036854775807"), 1);
  EXPECT_EQ(Value("select i from nums where i is not null"), "9223372036854775807");
}

TEST_F(ServerTypesTest, DatesBindAsIsoTextAndComeBackInSeventeenDigits) {
  Exec("create table dates(d datetime, k text)");
  Exec("insert into dates values(:d, 'ms')", P::Param(":d", kDateTime, "20010302130405123"), 1);
  Exec("insert into dates values(:d, 'whole')", P::Param(":d", kDateTime, "20010302130405000"),
       1);
  Exec("insert into dates values(:d, 'day')", P::Param(":d", kDateTime, "20240229"), 1);
  Exec("insert into dates values(:d, 'none')", P::Param(":d", kDateTime, ""), 1);
  // Stored as the database's own date functions write them.
  EXPECT_EQ(Value("select count(*) from dates where d = datetime('2001-03-02 13:04:05')"), "1");
  EXPECT_EQ(Value("select d from dates where k = 'ms'"), "20010302130405123");
  EXPECT_EQ(Value("select typeof(d) from dates where k = 'none'"), "null");
  ResultSet rs = Open("select d from dates order by rowid");
  EXPECT_EQ(rs.columns[0].type_code, kDateTime);
  EXPECT_EQ(rs.rows[2][0], "20240229000000000");

  // Time alone binds as HH:MM:SS; a bad date is refused with a clear error.
  rs = Open("select :t", P::Param(":t", kDateTime, "130405"), 1);
  EXPECT_EQ(rs.rows.at(0).at(0), "13:04:05");
  ResultLine bad = Run("EXEC", "insert into dates(d) values(:d)",
                       P::Param(":d", kDateTime, "20011301000000000"), 1);
  EXPECT_LT(bad.code, 0);
  EXPECT_NE(bad.text.find("not a date"), std::string::npos) << bad.text;
  // One value that is not a date makes the whole column text, unchanged.
  Exec("insert into dates values('soon', 'junk')");
  rs = Open("select d from dates where d is not null order by rowid");
  EXPECT_EQ(rs.columns[0].type_code, kVarchar);
  EXPECT_EQ(rs.rows[0][0], "2001-03-02 13:04:05.123");
  EXPECT_EQ(rs.rows.back()[0], "soon");
}

TEST_F(ServerTypesTest, BlobsAndTextsPassWhole) {
  Exec("create table bin(b blob, t varchar(20))");
  const std::string blob("a;b\0\0;c\xff;;x", 11);
  const std::string text = "caf\xc3\xa9;\n\"q\"";  // UTF-8, ';', line feed
  Exec("insert into bin values(:b, :t)", P::Param(":b", kImage, blob) + P::Param(":t", 0, text), 2);
  ResultSet rs = Open("select b, t, length(b), length(t) from bin");
  ASSERT_EQ(rs.rows.size(), 1u);
  EXPECT_EQ(rs.rows[0][0], blob);
  EXPECT_EQ(rs.rows[0][1], text);
  EXPECT_EQ(rs.rows[0][2], "11");
  EXPECT_EQ(rs.rows[0][3], "9");  // characters, while the wire counts bytes
  // A blob found by its own value as a parameter.
  EXPECT_EQ(Open("select count(*) from bin where b = :b", P::Param(":b", kImage, blob), 1)
                .rows.at(0).at(0),
            "1");
}

TEST_F(ServerTypesTest, PlaceholdersBindByName) {
  Exec("create table named(a integer, b text)");
  // ':' and '@' placeholders, names with and without prefix, any case; a
  // name used twice binds one value; the first of two entries wins.
  Exec("insert into named values(:A, @b)",
       P::Param("a", kInt, "1") + P::Param("@B", 0, "one") + P::Param(":a", kInt, "99"), 3);
  Exec("insert into named select :x, :x || @x", P::Param(":x", kInt, "2"), 1);
  ResultSet rs = Open("select a, b from named order by a");
  ASSERT_EQ(rs.rows.size(), 2u);
  EXPECT_EQ(rs.rows[0], (std::vector<std::string>{"1", "one"}));
  EXPECT_EQ(rs.rows[1], (std::vector<std::string>{"2", "22"}));
  // A placeholder without a value is an error, not a silent NULL.
  ResultLine missing = Run("EXEC", "insert into named values(:a, :b)", P::Param(":a", kInt, "3"),
                           1);
  EXPECT_LT(missing.code, 0);
  EXPECT_NE(missing.text.find(":b"), std::string::npos) << missing.text;
  ResultLine notint = Run("EXEC", "insert into named(a) values(:a)", P::Param(":a", kInt, "x1"), 1);
  EXPECT_LT(notint.code, 0);
  EXPECT_EQ(Value("select count(*) from named"), "2");
}

TEST_P(ServerStatementsTest, LongStatementsAndBlocksSpanFrames) {
  Exec("create table longs(v text)");
  // A statement of several frames, and one whose block is exactly two frames.
  std::string sql = "insert into longs values(:v) /*" + std::string(9000, '*') + "*/";
  EXPECT_EQ(Exec(sql, P::Param(":v", 0, "long statement"), 1), 1);
  std::string head = P::Param(":v", 0, "");
  std::string value(2 * 4092 - head.size() - 3, 'v');  // its length takes 3 more digits
  std::string block = P::Param(":v", 0, value);
  ASSERT_EQ(block.size(), 2u * 4092);
  EXPECT_EQ(Exec("insert into longs values(:v)", block, 1), 1);
  EXPECT_EQ(Value("select count(*) from longs where length(v) = " +
                  std::to_string(value.size())),
            "1");
  EXPECT_EQ(Value("select count(*) from longs"), "2");
}

TEST_P(ServerStatementsTest, StatementListsRunWholeOrNotAtAll) {
  EXPECT_EQ(Exec("create table multi(a integer primary key); insert into multi values(1); "
                 "insert into multi values(2), (3);"),
            3);
  ResultLine failed = Run("EXEC", "insert into multi values(4); insert into multi values(1)");
  EXPECT_LT(failed.code, 0);
  EXPECT_NE(failed.text.find(postgres() ? "duplicate key" : "UNIQUE"), std::string::npos)
      << failed.text;
  EXPECT_EQ(Value("select count(*) from multi"), "3");
  ResultLine two = Run("OPEN", "select 1; select 2");
  EXPECT_LT(two.code, 0);
  // Changed-row counts: DDL and SELECT change none; UPDATE counts its rows.
  EXPECT_EQ(Exec("update multi set a = a + 10"), 3);
  EXPECT_EQ(Exec("create index multi_a on multi(a)"), 0);
  EXPECT_EQ(Exec("select * from multi"), 0);
  ResultLine syntax = Run("OPEN", "selec 1");
  EXPECT_LT(syntax.code, 0);
  EXPECT_NE(syntax.text.find("syntax error"), std::string::npos) << syntax.text;
  // Empty texts run nothing.
  EXPECT_LT(Run("EXEC", " ; -- nothing").code, 0);
}

TEST_P(ServerStatementsTest, OpenPartSendsTheRequestedWindow) {
  Exec("create table pages(n integer)");
  Exec("with recursive c(n) as (select 1 union all select n + 1 from c where n < 10) "
       "insert into pages select n from c");
  auto window = [](std::int64_t first, std::int64_t count) {
    FrameClient c;
    EXPECT_TRUE(c.Connect(port()));
    std::string out;
    auto rs = c.Open("select n from pages order by n", "", 0, nullptr, first, count);
    EXPECT_TRUE(rs.has_value());
    for (auto& row : rs.value_or(ResultSet{}).rows) out += row[0] + ",";
    return out;
  };
  EXPECT_EQ(window(3, 4), "3,4,5,6,");
  EXPECT_EQ(window(0, 2), "1,2,");
  EXPECT_EQ(window(-5, 1), "1,");
  EXPECT_EQ(window(9, 5), "9,10,");
  EXPECT_EQ(window(11, 5), "");
  EXPECT_EQ(window(1, 0), "");
  EXPECT_EQ(window(5, 0), "");
}

}  // namespace
}  // namespace orv::test
