// End-to-end fetch: a 1,000,000-row, 5-column table served by rdbserver on
// SQLite and opened with a TOrvQuery, against reading the same rows
// in-process with the sqlite3 C API (every value as text).
//
// Counters: open_ms (Open returns), first_row_ms (the first row's values
// are read), last_row_ms (the reader has stored the last row), peak_rss_MiB
// (the client process's peak resident memory during the fetch, from a reset
// peak), sqlite_ms (the in-process reference) and ratio (last_row_ms /
// sqlite_ms).
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "dataset/orv_query.h"
#include "host/forms.h"
#include "rdb/orv_rdb.h"
#include "support/rdbserver_process.h"

namespace orv {
namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

long PeakKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  return 0;
}

void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

const std::string& DatabasePath() {
  static const std::string path = [] {
    std::string p = "/tmp/orv-fetch-bench-" + std::to_string(::getpid()) + ".db";
    sqlite3* db = nullptr;
    sqlite3_open(p.c_str(), &db);
    sqlite3_exec(db,
                 "pragma journal_mode=wal;"
                 "create table rows(id integer, name varchar(24), amount real, "
                 "created datetime, grp integer);"
                 "with recursive c(n) as (select 1 union all select n + 1 from c "
                 "where n < 1000000) insert into rows select n, 'customer no ' || n, "
                 "n * 1.25, datetime('2001-01-01', '+' || (n % 10000) || ' minutes'), "
                 "n % 97 from c",
                 nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return p;
  }();
  return path;
}

double SqliteReadMs() {
  sqlite3* db = nullptr;
  sqlite3_open(DatabasePath().c_str(), &db);
  sqlite3_stmt* stmt = nullptr;
  auto start = Clock::now();
  sqlite3_prepare_v2(db, "select * from rows", -1, &stmt, nullptr);
  size_t bytes = 0;
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    for (int c = 0; c < 5; ++c) {
      const unsigned char* text = sqlite3_column_text(stmt, c);
      if (text != nullptr) bytes += static_cast<size_t>(sqlite3_column_bytes(stmt, c));
    }
  }
  sqlite3_finalize(stmt);
  const double ms = Ms(start, Clock::now());
  sqlite3_close(db);
  benchmark::DoNotOptimize(bytes);
  return ms;
}

void BM_FetchMillionRows(benchmark::State& state) {
  test::RdbServerProcess server(ORV_RDBSERVER_PATH, {}, DatabasePath());
  if (!server.ok()) {
    state.SkipWithError(server.error().c_str());
    return;
  }
  SetMessageBoxHandler([](const std::string& text, const std::string&, unsigned) {
    std::fprintf(stderr, "message: %s\n", text.c_str());
    return IDOK;
  });
  TOrvRDB rdb(nullptr);
  rdb.SetAddress("127.0.0.1");
  rdb.SetPort(server.port());
  TOrvQuery query(nullptr);
  query.SetDatabase(&rdb);
  query.SQL()->SetText("select * from rows");
  double open_ms = 0, first_ms = 0, last_ms = 0, peak = 0, rows = 0;
  for (auto _ : state) {
    ResetPeak();
    const long base = PeakKiB();
    auto start = Clock::now();
    query.Open();
    open_ms = Ms(start, Clock::now());
    benchmark::DoNotOptimize(query.Fields()->GetField(1)->AsString());
    first_ms = Ms(start, Clock::now());
    query.WaitTerminate();
    last_ms = Ms(start, Clock::now());
    rows = query.ResultStream()->RowCount();
    peak = static_cast<double>(PeakKiB() - base) / 1024.0;
    query.Close();
  }
  const double sqlite_ms = SqliteReadMs();
  state.counters["open_ms"] = open_ms;
  state.counters["first_row_ms"] = first_ms;
  state.counters["last_row_ms"] = last_ms;
  state.counters["peak_rss_MiB"] = peak;
  state.counters["rows"] = rows;
  state.counters["sqlite_ms"] = sqlite_ms;
  state.counters["ratio"] = last_ms / sqlite_ms;
}
BENCHMARK(BM_FetchMillionRows)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orv

BENCHMARK_MAIN();
