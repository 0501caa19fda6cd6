// TOrvStoredProc against the real rdbserver, on SQLite and PostgreSQL: the
// parameter list fetched by naming a procedure, calls through ExecProc in
// the Oracle block form and the bare form, a procedure returning rows
// through Open then its outputs, a failing body leaving nothing behind, and
// the name lists of both database types opening again.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "dataset/orv_stored_proc.h"
#include "dataset/orv_table.h"
#include "integration/dataset_fixture.h"

namespace orv::test {
namespace {

class StoredProcTest : public OnEachBackend<DataSetServerTest> {
 protected:
  void SetUp() override {
    OnEachBackend::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    proc_.SetDatabase(&rdb_);
    if (defined_[postgres()]) return;
    defined_[postgres()] = true;
    const std::vector<std::string> sqlite = {
        "create table ledger (id integer primary key, name text, bal real)",
        "CREATE PROCEDURE pay (IN who INTEGER, INOUT amount REAL, OUT total REAL, OUT nm TEXT) "
        "AS BEGIN UPDATE ledger SET bal = bal + :amount WHERE id = :who; "
        "SET :total, :nm = SELECT bal, name FROM ledger WHERE id = :who; "
        "SET :amount = SELECT :amount * 2; END",
        "CREATE PROCEDURE twice (RESULT Result INTEGER, x INTEGER) AS BEGIN "
        "SET :Result = SELECT :x * 2; END",
        "CREATE PROCEDURE rich (OUT n INTEGER, minimum REAL) AS BEGIN "
        "SELECT id, name FROM ledger WHERE bal >= :minimum ORDER BY id; "
        "SET :n = SELECT count(*) FROM ledger WHERE bal >= :minimum; END",
        "CREATE PROCEDURE spoil (who INTEGER) AS BEGIN UPDATE ledger SET bal = -1 "
        "WHERE id = :who; INSERT INTO ledger (id) VALUES (:who); END"};
    const std::vector<std::string> pg = {
        "create table ledger (id integer primary key, name text, bal double precision)",
        "CREATE PROCEDURE pay (IN who integer, INOUT amount double precision, "
        "OUT total double precision, OUT nm text) LANGUAGE plpgsql AS $$ BEGIN "
        "UPDATE ledger SET bal = bal + amount WHERE id = who; "
        "SELECT bal, name INTO total, nm FROM ledger WHERE id = who; "
        "amount := amount * 2; END $$",
        "CREATE FUNCTION twice (x integer) RETURNS integer LANGUAGE sql AS 'select x * 2'",
        "CREATE FUNCTION rich (minimum double precision) RETURNS TABLE (id integer, name text) "
        "LANGUAGE sql AS 'select id, name from ledger where bal >= minimum order by id'",
        "CREATE PROCEDURE spoil (who integer) LANGUAGE plpgsql AS $$ BEGIN "
        "UPDATE ledger SET bal = -1 WHERE id = who; INSERT INTO ledger (id) VALUES (who); "
        "END $$"};
    for (const std::string& sql : postgres() ? pg : sqlite) Exec(sql);
    Exec("insert into ledger values (1, 'ann', 10.5), (2, 'bob', 20), (3, 'cy', 30)");
  }

  // Each of the forms a call travels in: the block, then the bare name.
  static constexpr std::tuple<TServerType, TDatabaseType> kForms[] = {{svUNIX, dtOracle},
                                                                      {svNTServer, dtSybase}};
  void UseForm(TServerType server, TDatabaseType database) {
    rdb_.SetServerType(server);
    rdb_.SetDatabaseType(database);
  }

  static inline bool defined_[2] = {false, false};
  TOrvStoredProc proc_{nullptr};
};
ORV_ON_EACH_BACKEND(StoredProcTest);

TEST_P(StoredProcTest, NamingAProcedureFetchesItsParameters) {
  proc_.SetProcName("pay");
  ASSERT_EQ(proc_.Params()->Count(), 4) << log_.Texts();
  const std::vector<std::tuple<std::string, TParamType, TFieldType>> wanted = {
      {"who", ptInput, ftInteger},
      {"amount", ptInputOutput, ftFloat},
      {"total", ptOutput, ftFloat},
      {"nm", ptOutput, ftString}};
  std::vector<std::tuple<std::string, TParamType, TFieldType>> got;
  for (int i = 0; i < 4; ++i) {
    const TParam& p = *proc_.Params()->Items(i);
    got.emplace_back(p.Name(), p.ParamType(), p.DataType());
  }
  EXPECT_EQ(got, wanted);
  proc_.SetProcName(postgres() ? "public.twice" : "main.twice");
  ASSERT_EQ(proc_.Params()->Count(), 2);
  EXPECT_EQ(proc_.Params()->Items(0)->ParamType(), ptResult);
  EXPECT_THROW(proc_.SetProcName("nope"), Exception);
  EXPECT_EQ(proc_.Params()->Count(), 0);
}

TEST_P(StoredProcTest, ExecProcReadsOutputsAndResultsBackInEitherForm) {
  int call = 0;
  for (const auto& [server, database] : kForms) {
    SCOPED_TRACE(database == dtOracle ? "block" : "bare");
    UseForm(server, database);
    proc_.SetProcName("");
    proc_.SetProcName("pay");
    proc_.ParamByName("who")->SetAsInteger(2);
    proc_.ParamByName("amount")->SetAsFloat(1.5);
    proc_.ExecProc();
    EXPECT_EQ(log_.Texts(), "");
    EXPECT_FALSE(proc_.Active());
    EXPECT_DOUBLE_EQ(proc_.ParamByName("amount")->AsFloat(), 3);
    EXPECT_DOUBLE_EQ(proc_.ParamByName("total")->AsFloat(), 20 + 1.5 * ++call);
    EXPECT_EQ(proc_.ParamByName("nm")->AsString(), "bob");

    // An id with no row: the outputs come back null, not last call's.
    proc_.ParamByName("who")->SetAsInteger(99);
    proc_.ExecProc();
    EXPECT_TRUE(proc_.ParamByName("total")->IsNull());
    EXPECT_TRUE(proc_.ParamByName("nm")->IsNull());

    proc_.SetProcName("twice");
    proc_.ParamByName("x")->SetAsInteger(21);
    proc_.ExecProc();
    EXPECT_EQ(proc_.Params()->Items(0)->AsInteger(), 42) << log_.Texts();
  }
  Exec("update ledger set bal = 20 where id = 2");
}

TEST_P(StoredProcTest, OpenShowsTheRowsThenTheOutputs) {
  for (const auto& [server, database] : kForms) {
    UseForm(server, database);
    proc_.SetProcName("");
    proc_.SetProcName("rich");
    proc_.ParamByName("minimum")->SetAsFloat(15);
    proc_.Open();
    ASSERT_TRUE(proc_.Active()) << log_.Texts();
    std::vector<std::string> names;
    for (proc_.First(); !proc_.Eof(); proc_.Next())
      names.push_back(proc_.FieldByName("name")->AsString());
    EXPECT_EQ(names, (std::vector<std::string>{"bob", "cy"}));
    // A set-returning PostgreSQL function's outputs are its columns.
    if (!postgres()) {
      EXPECT_EQ(proc_.ParamByName("n")->AsInteger(), 2);
    }
    proc_.Close();
  }
}

TEST_P(StoredProcTest, AFailingBodyLeavesNoTraceAndTheConnectionServing) {
  proc_.SetProcName("spoil");
  proc_.ParamByName("who")->SetAsInteger(3);
  proc_.ExecProc();
  EXPECT_EQ(log_.Count(), 1u);
  rdb_.StartTransaction();
  proc_.ExecProc();
  EXPECT_EQ(log_.Count(), 2u);
  rdb_.Commit();
  TOrvQuery q(nullptr);
  q.SetDatabase(&rdb_);
  q.SQL()->SetText("select bal from ledger where id = 3");
  q.Open();
  ASSERT_TRUE(q.Active()) << log_.Texts();
  EXPECT_DOUBLE_EQ(q.Fields()->GetField(0)->AsFloat(), 30);
}

TEST_P(StoredProcTest, ListedNamesOpenAgainInBothDatabaseTypes) {
  for (const TDatabaseType database : {dtOracle, dtSybase}) {
    rdb_.SetDatabaseType(database);
    TStringList tables, procs;
    proc_.GetTableNames("T", &tables);
    proc_.GetTableNames("P", &procs);
    ASSERT_EQ(tables.Count(), 1) << log_.Texts();
    ASSERT_EQ(procs.Count(), 4);
    TOrvTable t(nullptr);
    t.SetDatabase(&rdb_);
    t.SetTableName(tables.Strings(0));
    t.Open();
    EXPECT_TRUE(t.Active()) << tables.Strings(0) << ": " << log_.Texts();
    for (int i = 0; i < procs.Count(); ++i) {
      proc_.SetProcName(procs.Strings(i));
      EXPECT_GT(proc_.Params()->Count(), 0) << procs.Strings(i);
    }
  }
}

}  // namespace
}  // namespace orv::test
