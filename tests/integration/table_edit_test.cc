// TOrvTable editing end to end against the real rdbserver: posts at once
// and cached, what another connection sees, conflicts, and a server that
// dies in the middle of a batch.
#include <gtest/gtest.h>

#include <signal.h>

#include <string>
#include <vector>

#include "dataset/orv_table.h"
#include "dataset/request_text.h"
#include "dataset/update_sql.h"
#include "host/datetime.h"
#include "integration/dataset_fixture.h"
#include "rdb/frame.h"
#include "support/killing_proxy.h"

namespace orv::test {
namespace {

class TableEditTest : public DataSetServerTest {
 protected:
  // Opens `name` as a TOrvTable on rdb_ (Oracle form unless said).
  void OpenTable(TOrvTable& t, const std::string& name, bool cached = false,
                 const std::string& order = "") {
    t.SetDatabase(&rdb_);
    t.SetTableName(name);
    t.SetCachedUpdates(cached);
    t.SetIndexFieldNames(order);
    t.Open();
    ASSERT_TRUE(t.Active()) << log_.Texts();
  }

  using Strings = std::vector<std::string>;

  // Every row of an open dataset, its values joined by "|" (NULL as "~").
  static Strings All(TDataSet& d) {
    Strings rows;
    for (d.First(); d.Active() && !d.Eof(); d.Next()) {
      std::string row;
      for (int i = 0; i < d.FieldCount(); ++i) {
        TField* f = d.Fields()->GetField(i);
        row += (i ? "|" : "") + (f->IsNull() ? std::string("~") : f->AsString());
      }
      rows.push_back(row);
    }
    return rows;
  }
  // The rows of `sql`, read through a connection of its own.
  static Strings Rows(const std::string& sql, int port = 0) {
    orv::testing::MessageLog log;
    TOrvRDB rdb(nullptr);
    rdb.SetAddress("127.0.0.1");
    rdb.SetPort(port != 0 ? port : server_->port());
    TOrvQuery q(nullptr);
    q.SetDatabase(&rdb);
    q.SQL()->SetText(sql);
    q.Open();
    EXPECT_TRUE(q.Active()) << sql << ": " << log.Texts();
    return All(q);
  }
};

TEST_F(TableEditTest, PostsReachTheServerAtOnceAndLeaveUntouchedValuesAlone) {
  Exec("create table city (name varchar(20), n integer, note varchar(10))");
  Exec("insert into city values ('Edinburgh ', 1, null), ('  Oban', 2, ''), ('Perth', 3, 'x')");
  const std::string exact = "select quote(name), quote(n), quote(note) from city order by rowid";
  TOrvTable t(nullptr);
  OpenTable(t, "city");
  EXPECT_EQ(t.FieldCount(), 3);  // the ROWID stays hidden
  EXPECT_EQ(t.FindField("ROWID"), nullptr);

  t.Edit();
  t.FieldByName("n")->SetAsInteger(10);
  t.Post();
  EXPECT_TRUE(t.ChangeLog().Empty());
  EXPECT_EQ(Rows(exact), (Strings{"'Edinburgh '|10|NULL", "'  Oban'|2|''", "'Perth'|3|'x'"}));

  t.Next();
  t.Edit();
  t.FieldByName("note")->SetAsString("new");
  t.Post();
  EXPECT_EQ(Rows(exact), (Strings{"'Edinburgh '|10|NULL", "'  Oban'|2|'new'", "'Perth'|3|'x'"}));

  // A row inserted, then edited and deleted in later posts: the server
  // finds it by its values, since its address is not known here.
  t.Append();
  t.FieldByName("name")->SetAsString("Ayr");
  t.FieldByName("n")->SetAsInteger(4);
  t.Post();
  EXPECT_EQ(t.FieldByName("name")->AsString(), "Ayr");
  EXPECT_EQ(Rows("select name, n from city where n = 4"), (Strings{"Ayr|4"}));
  t.Edit();
  t.FieldByName("n")->SetAsInteger(5);
  t.Post();
  EXPECT_EQ(Rows("select name, n from city where name = 'Ayr'"), (Strings{"Ayr|5"}));
  t.Delete();
  EXPECT_TRUE(t.ChangeLog().Empty());
  EXPECT_EQ(Rows("select count(*) from city"), (Strings{"3"}));

  t.First();
  t.Delete();
  EXPECT_EQ(Rows(exact), (Strings{"'  Oban'|2|'new'", "'Perth'|3|'x'"}));
  EXPECT_EQ(All(t), (Strings{"Oban|2|new", "Perth|3|x"}));
  EXPECT_EQ(log_.Count(), 0u) << log_.Texts();
}

TEST_F(TableEditTest, CachedChangesWaitForCommitAndCancelRestoresTheFetchedRows) {
  Exec("create table stock (id integer primary key, item varchar(10))");
  Exec("insert into stock values (1, 'a'), (2, 'b'), (3, 'c'), (4, 'd')");
  // The row address comes as a text column named ROWID, whatever the key
  // it stands for is called.
  TOrvQuery q(nullptr);
  q.SetDatabase(&rdb_);
  q.SQL()->SetText("select stock.*, ROWID from stock");
  q.Open();
  ASSERT_EQ(q.FieldCount(), 3) << log_.Texts();
  EXPECT_EQ(q.Fields()->GetField(2)->FieldName(), "ROWID");
  EXPECT_EQ(q.Fields()->GetField(2)->DataType(), ftString);
  EXPECT_EQ(q.Fields()->GetField(2)->AsString(), "1");
  q.Close();
  const std::string all = "select id, item from stock order by id";
  const Strings fetched{"1|a", "2|b", "3|c", "4|d"};
  TOrvTable t(nullptr);
  OpenTable(t, "stock", true, "id");

  // A mix of edits, inserts above edited rows, and deletes.
  auto change = [&] {
    t.First();
    t.Next();
    t.Edit();
    t.FieldByName("item")->SetAsString("B");
    t.Post();                        // U1
    t.First();
    t.Insert();
    t.FieldByName("id")->SetAsInteger(0);
    t.FieldByName("item")->SetAsString("z");
    t.Post();                        // I0, the edited row moves to 2
    t.Last();
    t.Delete();                      // D4
    t.First();
    t.Next();
    t.Next();
    EXPECT_EQ(t.FieldByName("item")->AsString(), "B");
    t.Delete();                      // the edited row goes
    t.Append();
    t.FieldByName("id")->SetAsInteger(9);
    t.FieldByName("item")->SetAsString("tmp");
    t.Post();
    t.Delete();                      // inserted and deleted in one batch
    t.First();
    t.Edit();
    t.FieldByName("item")->SetAsString("Z");
    t.Post();                        // an edit of the inserted row
  };
  change();
  EXPECT_EQ(All(t), (Strings{"0|Z", "1|a", "3|c"}));
  EXPECT_EQ(Rows(all), fetched);
  t.CancelUpdates();
  EXPECT_TRUE(t.ChangeLog().Empty());
  EXPECT_EQ(All(t), fetched);
  EXPECT_EQ(Rows(all), fetched);

  change();
  t.CommitUpdates();
  EXPECT_TRUE(t.ChangeLog().Empty());
  EXPECT_EQ(Rows(all), (Strings{"0|Z", "1|a", "3|c"}));
  EXPECT_EQ(All(t), (Strings{"0|Z", "1|a", "3|c"}));
  t.CommitUpdates();  // nothing pending: nothing sent
  t.CancelUpdates();
  EXPECT_EQ(log_.Count(), 0u) << log_.Texts();
}

TEST_F(TableEditTest, EveryKindOfValueSurvivesAndExactlyOneRowChanges) {
  Exec("create table kinds (k integer, s varchar(12), f real, d date, t datetime, b blob, "
       "m text)");
  Exec("insert into kinds values (1, ' pad ', 0.1, '2024-01-05', '2024-01-05 10:30:00', "
       "x'00ff3b', null), (2, null, 1e-7, null, '2023-12-31 23:59:59.250', null, 'memo'), "
       "(3, '', 123456789.125, '1999-12-31', null, x'', '')");
  const std::string exact = "select quote(k), quote(s), quote(f), quote(d), quote(t), quote(b), "
                            "quote(m) from kinds order by rowid";
  const Strings before = Rows(exact);
  TOrvTable t(nullptr);
  OpenTable(t, "kinds", false, "k");
  EXPECT_EQ(t.FieldByName("d")->DataType(), ftDateTime);
  EXPECT_EQ(t.FieldByName("b")->DataType(), ftBlob);

  // Changing only k leaves every other stored value exactly as it was.
  Strings expected = before;
  for (int row = 0; row < 3; ++row) {
    t.Edit();
    t.FieldByName("k")->SetAsInteger(row + 11);
    t.Post();
    expected[static_cast<size_t>(row)].replace(0, 1, std::to_string(row + 11));
    EXPECT_EQ(Rows(exact), expected) << "row " << row;
    t.Next();
  }
  // New values of every type go in; each delete takes exactly one row.
  t.First();
  t.Edit();
  t.FieldByName("f")->SetAsFloat(2.5);
  // Posted date-times keep whole seconds.
  t.FieldByName("t")->SetAsDateTime(EncodeDate(2001, 3, 2) + EncodeTime(13, 4, 5, 456));
  t.FieldByName("b")->SetAsString(std::string("a\0b", 3));
  t.FieldByName("s")->Clear();
  t.Post();
  // The wire has no null: a cleared text is stored empty.
  EXPECT_EQ(Rows("select quote(s), f, t, hex(b) from kinds where k = 11"),
            (Strings{"''|2.5|2001-03-02 13:04:05|610062"}));
  for (int left = 2; left >= 0; --left) {
    t.First();
    t.Delete();
    EXPECT_EQ(Rows("select count(*) from kinds"), Strings{std::to_string(left)});
  }
  EXPECT_EQ(log_.Count(), 0u) << log_.Texts();
}

TEST_F(TableEditTest, ASecondEditorsCommitFailsWholeAndRestoresItsRows) {
  Exec("create table acct (id integer, owner varchar(10), v integer)");
  Exec("insert into acct values (1, 'ann', 10), (2, 'bob', 20), (3, 'cy', 30)");
  const std::string all = "select id, owner, v from acct order by id";
  TOrvTable first(nullptr), second(nullptr);
  OpenTable(first, "acct", false, "id");
  OpenTable(second, "acct", true, "id");

  second.Edit();
  second.FieldByName("v")->SetAsInteger(11);
  second.Post();
  second.Append();
  second.FieldByName("id")->SetAsInteger(4);
  second.Post();
  second.First();
  second.Next();
  second.Edit();
  second.FieldByName("v")->SetAsInteger(21);
  second.Post();

  first.Next();
  first.Edit();
  first.FieldByName("v")->SetAsInteger(99);
  first.Post();
  const Strings after_first{"1|ann|10", "2|bob|99", "3|cy|30"};
  ASSERT_EQ(Rows(all), after_first);

  try {
    second.CommitUpdates();
    FAIL() << "the conflict was not reported";
  } catch (const EOrvDataSetException& e) {
    EXPECT_STREQ(e.what(), "Record not found or changed by another user.");
  }
  EXPECT_EQ(Rows(all), after_first);
  EXPECT_TRUE(second.ChangeLog().Empty());
  EXPECT_EQ(second.State(), dsBrowse);
  EXPECT_EQ(All(second), (Strings{"1|ann|10", "2|bob|20", "3|cy|30"}));

  // Posting at once, the conflict fails the post itself.
  second.SetCachedUpdates(false);
  second.First();
  second.Next();
  second.Edit();
  second.FieldByName("v")->SetAsInteger(22);
  EXPECT_THROW(second.Post(), EOrvDataSetException);
  EXPECT_EQ(second.State(), dsBrowse);
  EXPECT_EQ(second.FieldByName("v")->AsInteger(), 20);
  EXPECT_EQ(Rows(all), after_first);

  // A read-only table refuses every change before anything moves.
  first.Close();
  first.SetReadOnly(true);
  first.Open();
  EXPECT_THROW(first.SetReadOnly(false), EDatabaseError);
  EXPECT_THROW(first.Edit(), EDatabaseError);
  try {
    first.Delete();
    FAIL() << "a read-only delete went through";
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Cannot modify a read-only dataset");
  }
  EXPECT_EQ(first.RecordCount(), 3);
  EXPECT_EQ(Rows(all), after_first);
}

TEST_F(TableEditTest, AWideTableWithLongNamesCommits) {
  std::string columns, values;
  TFieldInfList layout;
  for (int c = 0; c < 60; ++c) {
    const std::string name = "column_with_a_rather_long_name_number_" + std::to_string(100 + c);
    columns += (c ? ", " : "") + name + " varchar(8)";
    values += c == 0 ? "null" : ", '" + std::to_string(c) + " '";
    layout.push_back(std::make_unique<TFieldInf>(TFieldInf{0, name, ftString}));
  }
  layout.push_back(std::make_unique<TFieldInf>(TFieldInf{0, "ROWID", ftString}));
  // The table's name, which stands once in the UPDATE, makes the UPDATE's
  // message a whole number of frames long, so it travels with a blank of
  // padding; the server must still see a generated statement, or the NULL
  // and the blanks would not match.
  std::string table = "wide";
  auto update_size = [&] {
    return BuildCommandMessage(skExec, TZozudQueryMode::All, 0, 0,
                               ChangeParamCount(TChangeKind::ckUpdate, layout, dtOracle),
                               ChangeStatementText(TChangeKind::ckUpdate, table, layout, dtOracle))
        .size();
  };
  table += std::string(kMaxFramePayload - update_size() % kMaxFramePayload, '_');
  ASSERT_EQ(update_size() % kMaxFramePayload, 1u);
  Exec("create table " + table + " (" + columns + ")");
  Exec("insert into " + table + " values (" + values + ")");
  TOrvTable t(nullptr);
  OpenTable(t, table, true);
  ASSERT_EQ(t.FieldCount(), 60);
  t.Edit();
  t.Fields()->GetField(59)->SetAsString("last");
  t.Post();
  t.Append();
  for (int c = 0; c < 60; ++c) t.Fields()->GetField(c)->SetAsString("n" + std::to_string(c));
  t.Post();
  t.CommitUpdates();
  EXPECT_EQ(Rows("select quote(column_with_a_rather_long_name_number_100), "
                 "column_with_a_rather_long_name_number_158 || '|', "
                 "column_with_a_rather_long_name_number_159 from " + table + " order by rowid"),
            (Strings{"NULL|58 ||last", "'n0'|n58||n59"}));
  t.First();
  t.Delete();
  t.CommitUpdates();
  EXPECT_EQ(Rows("select count(*) from " + table), Strings{"1"});
  EXPECT_EQ(log_.Count(), 0u) << log_.Texts();
}

TEST_F(TableEditTest, ABatchCutOffByADyingServerLeavesNothingBehind) {
  RdbServerProcess own(ORV_RDBSERVER_PATH);
  ASSERT_TRUE(own.ok()) << own.error();
  // The proxy kills the server as the third statement of the batch passes.
  KillingProxy proxy(own.port(), own.pid(), "EXEC;", 3);
  TOrvRDB rdb(nullptr);
  rdb.SetAddress("127.0.0.1");
  rdb.SetPort(proxy.Port());
  TOrvQuery q(nullptr);
  q.SetDatabase(&rdb);
  q.SQL()->SetText("create table batch (id integer)");
  q.ExecSQL();
  ASSERT_EQ(q.RowsAffected(), 0) << log_.Texts();

  TOrvTable t(nullptr);
  t.SetDatabase(&rdb);
  t.SetTableName("batch");
  t.SetCachedUpdates(true);
  t.Open();
  ASSERT_TRUE(t.Active()) << log_.Texts();
  for (int id = 1; id <= 5; ++id) {
    t.Append();
    t.FieldByName("id")->SetAsInteger(id);
    t.Post();
  }
  EXPECT_THROW(t.CommitUpdates(), EOrvDataSetException);
  EXPECT_EQ(t.RecordCount(), 0);
  EXPECT_FALSE(rdb.InTransaction());

  RdbServerProcess again(ORV_RDBSERVER_PATH, {}, own.db_path());
  ASSERT_TRUE(again.ok()) << again.error();
  EXPECT_EQ(Rows("select count(*) from batch", again.port()), Strings{"0"});
}

}  // namespace
}  // namespace orv::test
