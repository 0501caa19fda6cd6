// The package's catalogue queries, opened through TOrvQuery, answered by
// the real rdbserver from its database's catalogue; every table listed opens
// again as a TOrvTable in the Oracle and the Sybase statement forms.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "dataset/orv_table.h"
#include "integration/dataset_fixture.h"

namespace orv::test {
namespace {

using Entry = std::pair<std::string, std::string>;  // owner, name

const char* const kOracleTables =
    "select owner, object_name from sys.all_objects where object_type in ('TABLE', 'VIEW') "
    "and owner != 'SYS'";
const char* const kSybaseTables =
    "select user_name (uid), name from sysobjects where type in ('U', 'V')";
const char* const kProcedureLists[] = {
    "select owner, object_name from sys.all_objects where object_type in ('PROCEDURE', "
    "'FUNCTION')",
    "select owner, object_name from sys.all_objects where object_type in ('PROCEDURE', "
    "'FUNCTION', 'PACKAGE' )",
    "select user_name (uid), name from sysobjects where type = 'P'"};

class CatalogueTest : public OnEachBackend<DataSetServerTest> {
 protected:
  void SetUp() override {
    OnEachBackend::SetUp();
    if (IsSkipped() || HasFatalFailure() || made_[postgres()]) return;
    made_[postgres()] = true;
    Exec("create table stock (n integer)");
    Exec("insert into stock values (1), (2)");
    Exec("create table \"order\" (n integer)");
    Exec("insert into \"order\" values (3)");
    Exec("create view cheap as select n from stock where n < 2");
    if (postgres()) {
      Exec("create table \"Mixed\" (n integer)");
      Exec("create function noop (a integer, out b text) language sql as 'select ''x'''");
    } else {
      Exec("CREATE PROCEDURE noop (a INTEGER, OUT b TEXT) AS BEGIN SET :b = SELECT 'x'; END");
    }
  }

  std::string owner() const { return postgres() ? "public" : "main"; }

  // The rows of `sql` opened through a TOrvQuery on rdb_, as text.
  std::vector<std::vector<std::string>> Rows(const std::string& sql) {
    TOrvQuery q(nullptr);
    q.SetDatabase(&rdb_);
    q.SQL()->SetText(sql);
    q.Open();
    EXPECT_TRUE(q.Active()) << sql << ": " << log_.Texts();
    std::vector<std::vector<std::string>> rows;
    for (q.First(); q.Active() && !q.Eof(); q.Next()) {
      auto& row = rows.emplace_back();
      for (int i = 0; i < q.FieldCount(); ++i) row.push_back(q.Fields()->GetField(i)->AsString());
    }
    return rows;
  }
  std::set<Entry> Entries(const std::string& sql) {
    std::set<Entry> entries;
    for (const auto& row : Rows(sql)) entries.emplace(row.at(0), row.at(1));
    return entries;
  }

  // The rows a table dataset gets for `name` in the given statement form.
  int TableRows(const std::string& name, TDatabaseType type) {
    rdb_.SetDatabaseType(type);
    TOrvTable t(nullptr);
    t.SetDatabase(&rdb_);
    t.SetTableName(name);
    t.Open();
    EXPECT_TRUE(t.Active()) << name << (type == dtOracle ? " (Oracle): " : " (Sybase): ")
                            << log_.Texts();
    int rows = 0;
    for (t.First(); t.Active() && !t.Eof(); t.Next()) ++rows;
    rdb_.SetDatabaseType(dtOracle);
    return rows;
  }

  static inline bool made_[2] = {false, false};
};
ORV_ON_EACH_BACKEND(CatalogueTest);

TEST_P(CatalogueTest, EveryListedTableOpensAgainInBothForms) {
  const std::set<Entry> tables = Entries(kOracleTables);
  EXPECT_EQ(Entries(kSybaseTables), tables);
  std::set<Entry> wanted = {{owner(), "stock"}, {owner(), "\"order\""}, {owner(), "cheap"}};
  if (postgres()) wanted.emplace(owner(), "\"Mixed\"");
  EXPECT_EQ(tables, wanted);  // nothing of the database's own, no procedure table
  for (const auto& [owner, name] : tables) {
    const int rows = name == "stock" ? 2 : name == "\"Mixed\"" ? 0 : 1;
    // With the owner, as Sybase lists always and Oracle for other users;
    // alone, as Oracle lists the user's own.
    for (const std::string& entry : {owner + "." + name, name}) {
      EXPECT_EQ(TableRows(entry, dtOracle), rows) << entry;
      EXPECT_EQ(TableRows(entry, dtSybase), rows) << entry;
    }
  }
}

TEST_P(CatalogueTest, ProceduresAndTheParametersOfOne) {
  for (const char* sql : kProcedureLists) {
    EXPECT_EQ(Entries(sql), (std::set<Entry>{{owner(), "noop"}})) << sql;
  }
  const auto params = Rows(
      "select c.name, t.usertype from syscolumns c, systypes t where c.usertype = t.usertype "
      "and c.id = object_id ('" + owner() + ".noop') and c.number = 1");
  EXPECT_EQ(params, (std::vector<std::vector<std::string>>{{"a", "8"}, {"b", "18"}}));
}

}  // namespace
}  // namespace orv::test
