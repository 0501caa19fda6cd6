// TOrvTable editing on PostgreSQL: the row address stands for the primary
// key (a row of its columns for a key of several, the ctid of a table
// without one), so a row can be posted to again and again; rows inserted in
// the session, and rows whose ctid moved, are found by their values, which
// match whatever the type, NULLs and blanks included, while untouched
// columns stay exactly as stored.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dataset/orv_table.h"
#include "integration/dataset_fixture.h"

namespace orv::test {
namespace {

class PostgresTableEditTest : public DataSetServerTest {
 protected:
  BackendKind backend() const override { return BackendKind::kPostgres; }

  void OpenTable(TOrvTable& t, const std::string& name) {
    t.SetDatabase(&rdb_);
    t.SetTableName(name);
    t.Open();
    ASSERT_TRUE(t.Active()) << log_.Texts();
  }
  // The rows of `sql`, values joined by "|".
  std::vector<std::string> Rows(const std::string& sql) {
    TOrvQuery q(nullptr);
    q.SetDatabase(&rdb_);
    q.SQL()->SetText(sql);
    q.Open();
    EXPECT_TRUE(q.Active()) << sql << ": " << log_.Texts();
    std::vector<std::string> rows;
    for (q.First(); q.Active() && !q.Eof(); q.Next()) {
      std::string row;
      for (int i = 0; i < q.FieldCount(); ++i) {
        row += (i ? "|" : "") + q.Fields()->GetField(i)->AsString();
      }
      rows.push_back(row);
    }
    return rows;
  }
};

TEST_F(PostgresTableEditTest, RowsArePostedToAgainAndAgain) {
  for (const char* ddl : {"create table keyed (id integer primary key, item varchar(10))",
                          "create table loose (id integer, item varchar(10))",
                          "create table paired (id integer, item varchar(10), n integer "
                          "default 0, primary key (id, n))"}) {
    Exec(ddl);
  }
  for (const char* table : {"keyed", "loose", "paired"}) {
    SCOPED_TRACE(table);
    Exec(std::string("insert into ") + table + " (id, item) values (1, 'a'), (2, 'b')");
    TOrvTable t(nullptr);
    OpenTable(t, table);
    // Two successive posts to one row: the second carries the address the
    // first left (the key stays; a ctid moves and the values find the row).
    for (const char* item : {"a1", "a2"}) {
      t.First();
      t.Edit();
      t.FieldByName("item")->SetAsString(item);
      t.Post();
    }
    // A row inserted here, edited and deleted in later posts.
    t.Append();
    t.FieldByName("id")->SetAsInteger(3);
    t.FieldByName("item")->SetAsString("c");
    if (TField* n = t.FindField("n")) n->SetAsInteger(0);
    t.Post();
    t.Edit();
    t.FieldByName("item")->SetAsString("c1");
    t.Post();
    EXPECT_EQ(Rows(std::string("select id, item from ") + table + " order by id"),
              (std::vector<std::string>{"1|a2", "2|b", "3|c1"}));
    t.Delete();
    EXPECT_EQ(Rows(std::string("select count(*) from ") + table), (std::vector<std::string>{"2"}));
    t.Close();
  }
  // The address comes as a text column named ROWID: the key's text.
  TOrvQuery q(nullptr);
  q.SetDatabase(&rdb_);
  q.SQL()->SetText("select keyed.*, ROWID from keyed order by id");
  q.Open();
  ASSERT_EQ(q.FieldCount(), 3) << log_.Texts();
  EXPECT_EQ(q.Fields()->GetField(2)->FieldName(), "ROWID");
  EXPECT_EQ(q.Fields()->GetField(2)->DataType(), ftString);
  EXPECT_EQ(q.Fields()->GetField(2)->AsString(), "1");
  q.Close();
  q.SQL()->SetText("select paired.*, ROWID from paired order by id");
  q.Open();
  EXPECT_EQ(q.FieldByName("ROWID")->AsString(), "(1,0)");
  EXPECT_EQ(log_.Count(), 0u) << log_.Texts();
}

TEST_F(PostgresTableEditTest, EveryKindOfValueSurvivesAndExactlyOneRowChanges) {
  // No primary key: the ctid an edit moves sends the later delete to the
  // row's values, which must match as the client saw them.
  Exec("create table kinds (k integer, s varchar(12), c char(4), f real, g double precision, "
       "n numeric(12,3), b boolean, d date, t timestamp, y bytea, m text)");
  Exec("insert into kinds values (1, ' pad ', 'ab', 0.1, 1e-7, 123456789.125, true, "
       "'2024-01-05', '2024-01-05 10:30:00', '\\x00ff3b', null), (2, null, null, 1e-7, 0.1, "
       "null, false, null, '2023-12-31 23:59:59.25', null, 'memo'), (3, '', '', 123456789.125, "
       "123456789.125, 0.5, null, '1999-12-31', null, '\\x', '')");
  const std::string exact =
      "select concat_ws('|', k, quote_nullable(s), quote_nullable(c), quote_nullable(f), "
      "quote_nullable(g), quote_nullable(n), quote_nullable(b), quote_nullable(d), "
      "quote_nullable(t), quote_nullable(y), quote_nullable(m)) from kinds order by k % 10";
  std::vector<std::string> expected = Rows(exact);
  ASSERT_EQ(expected.size(), 3u);
  TOrvTable t(nullptr);
  OpenTable(t, "kinds");
  for (int row = 0; row < 3; ++row) {
    t.Edit();
    t.FieldByName("k")->SetAsInteger(row + 11);
    t.Post();
    expected[static_cast<size_t>(row)].replace(0, 1, std::to_string(row + 11));
    EXPECT_EQ(Rows(exact), expected) << "row " << row;
    t.Next();
  }
  t.First();
  t.Edit();
  t.FieldByName("f")->SetAsFloat(2.5);
  t.FieldByName("b")->SetAsBoolean(false);
  t.FieldByName("y")->SetAsString(std::string("a\0b", 3));
  t.FieldByName("s")->Clear();
  t.Post();
  EXPECT_EQ(Rows("select quote_nullable(s), f, b, encode(y, 'hex') from kinds where k = 11"),
            (std::vector<std::string>{"''|2.5|False|610062"}));
  for (int left = 2; left >= 0; --left) {
    t.First();
    t.Delete();
    EXPECT_EQ(Rows("select count(*) from kinds"), (std::vector<std::string>{std::to_string(left)}));
  }
  EXPECT_EQ(log_.Count(), 0u) << log_.Texts();
}

}  // namespace
}  // namespace orv::test
