// TOrvQuery end to end against the real rdbserver.
#include <gtest/gtest.h>

#include <string>

#include "host/datetime.h"
#include "integration/dataset_fixture.h"

namespace orv::test {
namespace {

class DataSetQueryTest : public OnEachBackend<DataSetServerTest> {};
ORV_ON_EACH_BACKEND(DataSetQueryTest);

TEST_P(DataSetQueryTest, ParametersOfEveryTypeRoundTripThroughTheFields) {
  Exec(std::string("create table typed (i integer, s varchar(20), f real, d ") +
       (postgres() ? "timestamp" : "datetime") + ", b boolean, m text, g " +
       (postgres() ? "bytea" : "blob") + ", sm integer)");
  TOrvQuery q(nullptr);
  q.SetDatabase(&rdb_);
  q.SQL()->SetText("insert into typed values (:i, :s, :f, :d, :b, :m, :g, :sm)");
  const TDateTime when = EncodeDate(2001, 3, 2) + EncodeTime(13, 4, 5, 0);
  q.ParamByName("i")->SetAsInteger(-12);
  q.ParamByName("s")->SetAsString("it's; a \"text\"");
  q.ParamByName("f")->SetAsFloat(-2.5);
  q.ParamByName("d")->SetAsDateTime(when);
  q.ParamByName("b")->SetAsBoolean(true);
  q.ParamByName("m")->SetAsMemo(std::string(5000, 'm'));
  q.ParamByName("g")->SetAsBlob(std::string("a\0b;", 4));
  q.ParamByName("sm")->SetAsSmallInt(7);
  q.ExecSQL();
  EXPECT_EQ(q.RowsAffected(), 1) << log_.Texts();
  // Nulls of every type go out empty and come back null.
  for (const char* name : {"i", "s", "f", "d", "b", "m", "g", "sm"}) q.ParamByName(name)->Clear();
  q.ExecSQL();
  EXPECT_EQ(q.RowsAffected(), 1) << log_.Texts();

  q.SQL()->SetText("select * from typed where i = :i or i is null order by coalesce(i, -99) desc");
  EXPECT_EQ(q.Params()->Count(), 1);
  q.ParamByName("i")->SetAsInteger(-12);
  q.Open();
  ASSERT_TRUE(q.Active()) << log_.Texts();
  EXPECT_EQ(q.RecordCount(), 2);
  EXPECT_EQ(q.FieldByName("i")->DataType(), ftInteger);
  EXPECT_EQ(q.FieldByName("f")->DataType(), ftFloat);
  EXPECT_EQ(q.FieldByName("d")->DataType(), ftDateTime);
  EXPECT_EQ(q.FieldByName("b")->DataType(), ftBoolean);
  EXPECT_EQ(q.FieldByName("m")->DataType(), ftMemo);
  EXPECT_EQ(q.FieldByName("g")->DataType(), ftBlob);
  EXPECT_EQ(q.FieldByName("i")->AsInteger(), -12);
  EXPECT_EQ(q.FieldByName("s")->AsString(), "it's; a \"text\"");
  EXPECT_DOUBLE_EQ(q.FieldByName("f")->AsFloat(), -2.5);
  EXPECT_DOUBLE_EQ(q.FieldByName("d")->AsDateTime(), when);
  EXPECT_TRUE(q.FieldByName("b")->AsBoolean());
  EXPECT_EQ(q.FieldByName("m")->AsString(), std::string(5000, 'm'));
  EXPECT_EQ(q.FieldByName("g")->AsString(), std::string("a\0b;", 4));
  EXPECT_EQ(q.FieldByName("sm")->AsInteger(), 7);
  q.Next();
  for (const char* name : {"i", "f", "d", "b", "m", "g", "sm"})
    EXPECT_TRUE(q.FieldByName(name)->IsNull()) << name;
  EXPECT_EQ(q.FieldByName("s")->AsString(), "");
  q.Next();
  EXPECT_TRUE(q.Eof());

  // Closed and opened again, the same rows come back.
  q.Close();
  q.Open();
  EXPECT_EQ(q.FieldByName("i")->AsInteger(), -12);
  EXPECT_EQ(log_.Count(), 0u) << log_.Texts();
}

TEST_P(DataSetQueryTest, BrowsingPagingErrorsAndLongStatements) {
  Exec("create table seq (n integer, t varchar(10))");
  EXPECT_EQ(Exec("with recursive c(x) as (select 1 union all select x + 1 from c where x < 30) "
                 "insert into seq select x, 'row ' || x from c"),
            30);
  TOrvQuery q(nullptr);
  q.SetDatabase(&rdb_);
  q.SQL()->SetText("select n, t from seq order by n");
  q.Open();
  ASSERT_TRUE(q.Active()) << log_.Texts();
  int expected = 1;
  for (q.First(); !q.Eof(); q.Next()) EXPECT_EQ(q.FieldByName("n")->AsInteger(), expected++);
  EXPECT_EQ(expected, 31);
  for (q.Last(); !q.Bof(); q.Prior()) EXPECT_EQ(q.FieldByName("n")->AsInteger(), --expected);
  EXPECT_EQ(expected, 1);
  q.MoveBy(9);
  TBookmark tenth = q.GetBookmark();
  q.Last();
  q.GotoBookmark(tenth);
  EXPECT_EQ(q.FieldByName("t")->AsString(), "row 10");
  q.FreeBookmark(tenth);

  // Windows count the first row as 1; the next part is another open.
  q.Close();
  q.OpenPart(11, 5);
  EXPECT_EQ(q.RecordCount(), 5);
  EXPECT_EQ(q.FieldByName("n")->AsInteger(), 11);
  q.Close();
  q.OpenPart(28, 10);
  EXPECT_EQ(q.RecordCount(), 3);
  q.Close();
  q.OpenPart(0, 2);
  EXPECT_EQ(q.FieldByName("n")->AsInteger(), 1);
  q.Close();

  // A statement over 10,000 characters.
  std::string list = "0";
  for (int i = 1; list.size() < 11000; ++i) list += ", " + std::to_string(i % 30 + 1);
  q.SQL()->SetText("select count(*) as c from seq where n in (" + list + ")");
  q.Open();
  ASSERT_TRUE(q.Active()) << log_.Texts();
  EXPECT_EQ(q.FieldByName("c")->AsInteger(), 30);
  q.Close();

  q.SQL()->SetText("select * from no_such_table");
  q.Open();
  EXPECT_FALSE(q.Active());
  ASSERT_EQ(log_.Count(), 1u);
  EXPECT_EQ(log_.Boxes()[0].caption, "Error");
  EXPECT_NE(log_.Boxes()[0].text.find("no_such_table"), std::string::npos) << log_.Texts();
}

TEST_P(DataSetQueryTest, QueriesShareOneTransaction) {
  Exec("create table acct (id integer, v integer)");
  Exec("insert into acct values (1, 10), (2, 20)");
  rdb_.StartTransaction();
  TOrvQuery a(nullptr), b(nullptr), u(nullptr);
  for (TOrvQuery* q : {&a, &b, &u}) q->SetDatabase(&rdb_);
  u.SQL()->SetText("update acct set v = v + 1");
  u.ExecSQL();
  EXPECT_EQ(u.RowsAffected(), 2);
  a.SQL()->SetText("select v from acct where id = 1");
  b.SQL()->SetText("select v from acct where id = 2");
  a.Open();
  b.Open();
  EXPECT_EQ(a.FieldByName("v")->AsInteger(), 11);
  EXPECT_EQ(b.FieldByName("v")->AsInteger(), 21);
  a.Close();
  b.Close();
  EXPECT_TRUE(rdb_.Active());
  rdb_.Commit();

  rdb_.StartTransaction();
  u.SQL()->SetText("delete from acct");
  u.ExecSQL();
  EXPECT_EQ(u.RowsAffected(), 2);
  rdb_.Rollback();
  a.SQL()->SetText("select sum(v) as s from acct");
  a.Open();
  EXPECT_EQ(a.FieldByName("s")->AsInteger(), 32);
  EXPECT_EQ(log_.Count(), 0u) << log_.Texts();
}

}  // namespace
}  // namespace orv::test
