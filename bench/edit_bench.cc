// Committing posted edits: a TOrvTable on a 20,000-row table served by
// rdbserver on SQLite, 500 rows edited with CachedUpdates and sent by one
// CommitUpdates, side by side in the Oracle form (each row addressed by its
// ROWID) and the Sybase form (no ROWID: the server finds each row by its
// values); and 100 edits posted one by one (a transaction each).
//
// Counters: commit_ms (the CommitUpdates, or all the posts) and
// per_change_us.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "dataset/orv_table.h"
#include "host/forms.h"
#include "rdb/orv_rdb.h"
#include "support/rdbserver_process.h"

namespace orv {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRows = 20000;

const std::string& DatabasePath() {
  static const std::string path = [] {
    std::string p = "/tmp/orv-edit-bench-" + std::to_string(::getpid()) + ".db";
    sqlite3* db = nullptr;
    sqlite3_open(p.c_str(), &db);
    sqlite3_exec(db,
                 ("pragma journal_mode=wal;"
                  "create table parts(id integer, name varchar(24), amount real);"
                  "with recursive c(n) as (select 1 union all select n + 1 from c where n < " +
                  std::to_string(kRows) +
                  ") insert into parts select n, 'part no ' || n, n * 0.1 from c")
                     .c_str(),
                 nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return p;
  }();
  return path;
}

// Arguments: database type (0 Oracle, 1 Sybase), edits, cached (1) or not.
void BM_CommitEdits(benchmark::State& state) {
  test::RdbServerProcess server(ORV_RDBSERVER_PATH, {}, DatabasePath());
  if (!server.ok()) {
    state.SkipWithError(server.error().c_str());
    return;
  }
  SetMessageBoxHandler([](const std::string&, const std::string&, unsigned) { return IDOK; });
  TOrvRDB rdb(nullptr);
  rdb.SetAddress("127.0.0.1");
  rdb.SetPort(server.port());
  rdb.SetDatabaseType(state.range(0) == 0 ? dtOracle : dtSybase);
  const int edits = static_cast<int>(state.range(1));
  const bool cached = state.range(2) != 0;
  double total_ms = 0;
  for (auto _ : state) {
    TOrvTable table(nullptr);
    table.SetDatabase(&rdb);
    table.SetTableName("parts");
    table.SetCachedUpdates(cached);
    table.Open();
    table.RecordCount();
    const auto start = Clock::now();
    table.First();
    for (int i = 0; i < edits; ++i) {
      table.Edit();
      table.FieldByName("amount")->SetAsFloat(table.FieldByName("amount")->AsFloat() + 1);
      table.Post();
      table.MoveBy(kRows / edits);
    }
    if (cached) table.CommitUpdates();
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    state.SetIterationTime(ms / 1000);
    total_ms += ms;
  }
  state.counters["commit_ms"] = total_ms / static_cast<double>(state.iterations());
  state.counters["per_change_us"] = 1000 * state.counters["commit_ms"] / edits;
}

BENCHMARK(BM_CommitEdits)
    ->ArgNames({"sybase", "edits", "cached"})
    ->Args({0, 500, 1})
    ->Args({1, 500, 1})
    ->Args({0, 100, 0})
    ->Args({1, 100, 0})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace
}  // namespace orv

BENCHMARK_MAIN();
