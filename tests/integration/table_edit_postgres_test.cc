// TOrvTable editing on PostgreSQL: the row address stands for the primary
// key (or the ctid of a table without one), so a row can be posted to again
// and again; rows inserted in the session are found by their values.
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
                          "create table loose (id integer, item varchar(10))"}) {
    Exec(ddl);
  }
  for (const char* table : {"keyed", "loose"}) {
    SCOPED_TRACE(table);
    Exec(std::string("insert into ") + table + " values (1, 'a'), (2, 'b')");
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
  EXPECT_EQ(log_.Count(), 0u) << log_.Texts();
}

}  // namespace
}  // namespace orv::test
