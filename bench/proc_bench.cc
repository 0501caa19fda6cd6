// Server-side cost of a stored procedure call against the same work sent as
// plain requests, through a session on one backend connection (no network):
//   - BM_*PlainPay: EXEC of an UPDATE, then OPEN of the SELECT that reads
//     the row back, the way a client without procedures does it;
//   - BM_*ProcPay: PROCEXEC of a procedure doing both and returning the
//     values as parameters (finding and reading the procedure included);
//     on PostgreSQL also an EXEC of the CALL itself;
//   - BM_*PlainRows / BM_*ProcRows: OPEN of a 10,000-row SELECT against
//     PROCOPEN of a procedure (on PostgreSQL a set-returning function)
//     giving the same rows; on PostgreSQL also an OPEN of
//     "select * from rows_of(...)", the function's own cost.
// Run side by side, the ratio proc/plain is the overhead of the procedure
// machinery. The PostgreSQL server is the one ORV_PG_CONNINFO names, or a
// throwaway cluster of scripts/pg-cluster.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "server/pg_backend.h"
#include "server/session.h"
#include "server/sqlite_backend.h"
#include "support/pg_cluster.h"

namespace orv::server {
namespace {

class NullSink : public ByteSink {
 public:
  void Write(std::string_view bytes) override { bytes_ += bytes.size(); }
  std::size_t bytes_ = 0;
};

const std::string& SqlitePath() {
  static const std::string path =
      "/tmp/orv-bench-proc-" + std::to_string(::getpid()) + ".db";
  return path;
}

void Define(Backend* backend, bool postgres) {
  std::int64_t changed = 0;
  const char* sqlite[] = {
      "create table ledger (id integer primary key, name text, bal real)",
      "with recursive c(n) as (select 1 union all select n + 1 from c where n < 10000) "
      "insert into ledger select n, 'name ' || n, n from c",
      "CREATE PROCEDURE pay (IN who INTEGER, INOUT amount REAL, OUT total REAL, OUT nm TEXT) "
      "AS BEGIN UPDATE ledger SET bal = bal + :amount WHERE id = :who; "
      "SET :total, :nm = SELECT bal, name FROM ledger WHERE id = :who; END",
      "CREATE PROCEDURE rows_of (minimum REAL) AS BEGIN "
      "SELECT id, name, bal FROM ledger WHERE bal >= :minimum; END"};
  const char* pg[] = {
      "create table ledger (id integer primary key, name text, bal double precision)",
      "insert into ledger select n, 'name ' || n, n from generate_series(1, 10000) n",
      "CREATE PROCEDURE pay (IN who integer, INOUT amount double precision, "
      "OUT total double precision, OUT nm text) LANGUAGE plpgsql AS $$ BEGIN "
      "UPDATE ledger SET bal = bal + amount WHERE id = who; "
      "SELECT bal, name INTO total, nm FROM ledger WHERE id = who; END $$",
      "CREATE FUNCTION rows_of (minimum double precision) RETURNS TABLE (id integer, "
      "name text, bal double precision) LANGUAGE sql AS "
      "'select id, name, bal from ledger where bal >= minimum'"};
  for (const char* sql : postgres ? pg : sqlite) backend->Exec(sql, {}, &changed);
}

std::unique_ptr<Backend> Sqlite() {
  static bool made = false;
  std::string error;
  if (!made) {
    made = true;
    SqliteBackend::Prepare(SqlitePath(), &error);
    Define(SqliteBackend::Connect(SqlitePath(), 1000, &error).get(), false);
  }
  return SqliteBackend::Connect(SqlitePath(), 1000, &error);
}

std::unique_ptr<Backend> Postgres() {
  static std::unique_ptr<orv::test::PgDatabase> db;
  static const std::string conninfo = []() -> std::string {
    orv::test::PgCluster* cluster = orv::test::PgCluster::Get();
    if (!cluster) return "";
    db = std::make_unique<orv::test::PgDatabase>(cluster);
    if (!db->ok()) return "";
    std::string error;
    Define(PgBackend::Connect(db->conninfo(), &error).get(), true);
    return db->conninfo();
  }();
  std::string error;
  return conninfo.empty() ? nullptr : PgBackend::Connect(conninfo, &error);
}

ParamEntry Param(const char* name, int type, const char* value) {
  return {'I', name, type, value};
}

Request Make(const char* command, const char* text, std::vector<ParamEntry> params = {}) {
  Request r;
  r.command = command;
  r.text = text;
  r.params = std::move(params);
  return r;
}

using Connect = std::unique_ptr<Backend> (*)();

void Run(benchmark::State& state, Connect connect, const std::vector<Request>& requests) {
  std::unique_ptr<Backend> backend = connect();
  if (!backend) {
    state.SkipWithError("no database");
    return;
  }
  NullSink sink;
  FrameWriter writer(&sink);
  Session session(std::move(backend), &writer);
  for (auto _ : state) {
    for (const Request& r : requests) {
      if (!session.Handle(r).ok) state.SkipWithError("request failed");
      writer.Flush();
    }
  }
}

const std::vector<ParamEntry> kPay = {Param("who", kStInt, "7"), Param("amount", kStFloat, "1")};

void Plain(benchmark::State& state, Connect connect) {
  Run(state, connect,
      {Make("EXEC", "update ledger set bal = bal + :amount where id = :who", kPay),
       Make("OPEN", "select bal, name from ledger where id = :who", kPay)});
}
void Call(benchmark::State& state, Connect connect) {
  Run(state, connect, {Make("EXEC", "CALL pay(:who, :amount, NULL, NULL)", kPay)});
}
void Proc(benchmark::State& state, Connect connect) {
  Run(state, connect, {Make("PROCEXEC", "pay", kPay)});
}
void PlainRows(benchmark::State& state, Connect connect) {
  Run(state, connect,
      {Make("OPEN", "select id, name, bal from ledger where bal >= :minimum",
            {Param("minimum", kStFloat, "0")})});
}
void CallRows(benchmark::State& state, Connect connect) {
  Run(state, connect,
      {Make("OPEN", "select * from rows_of(:minimum)", {Param("minimum", kStFloat, "0")})});
}
void ProcRows(benchmark::State& state, Connect connect) {
  Run(state, connect, {Make("PROCOPEN", "rows_of", {Param("minimum", kStFloat, "0")})});
}

BENCHMARK_CAPTURE(Plain, SqlitePlainPay, Sqlite)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Proc, SqliteProcPay, Sqlite)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(PlainRows, SqlitePlainRows, Sqlite)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ProcRows, SqliteProcRows, Sqlite)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Plain, PgPlainPay, Postgres)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Call, PgExecCallPay, Postgres)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Proc, PgProcPay, Postgres)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(PlainRows, PgPlainRows, Postgres)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(CallRows, PgOpenFunctionRows, Postgres)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ProcRows, PgProcRows, Postgres)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orv::server

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (const char* suffix : {"", "-wal", "-shm"}) {
    std::remove((orv::server::SqlitePath() + suffix).c_str());
  }
  return 0;
}
