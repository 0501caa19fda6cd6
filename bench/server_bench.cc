// Server-side cost of large results: a 1,000,000-row SELECT run through a
// session on SQLite and on PostgreSQL, with the reply handed to a sink that
// notes when the first and the last bytes leave, and the process's peak
// resident memory. On PostgreSQL the same rows are read twice: with every
// width known from the types (the rows stream) and with the name as text (no
// width bound: the rows are held until the last one). The PostgreSQL server
// is the one ORV_PG_CONNINFO names, or a throwaway cluster of scripts/pg-cluster.
//
// Reported counters: first_row_ms and last_row_ms (from the request to the
// first/last write of the reply), peak_rss_MiB (the highest resident size
// during the request, measured from a reset peak), reply_MiB.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "server/pg_backend.h"
#include "server/session.h"
#include "server/sqlite_backend.h"
#include "support/pg_cluster.h"

namespace orv::server {
namespace {

using Clock = std::chrono::steady_clock;

class TimingSink : public ByteSink {
 public:
  void Write(std::string_view bytes) override {
    auto now = Clock::now();
    if (bytes_ == 0) first = now;
    last = now;
    bytes_ += bytes.size();
  }
  std::size_t bytes() const { return bytes_; }
  Clock::time_point first, last;

 private:
  std::size_t bytes_ = 0;
};

// Peak resident set size in KiB since the last ResetPeak().
long PeakKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  }
  return 0;
}

void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

const std::string& Database() {
  static const std::string path = [] {
    std::string p = "/tmp/orv-bench-" + std::to_string(::getpid()) + ".db";
    std::string error;
    SqliteBackend::Prepare(p, &error);
    auto db = SqliteBackend::Connect(p, 1000, &error);
    std::int64_t changed = 0;
    db->Exec(
        "create table rows(id integer primary key, name varchar(40), amount real, "
        "created datetime);"
        "with recursive c(n) as (select 1 union all select n + 1 from c where n < 1000000) "
        "insert into rows select n, 'customer ' || n, n * 1.25, "
        "datetime('2001-01-01', '+' || (n % 10000) || ' minutes') from c",
        {}, &changed);
    return p;
  }();
  return path;
}

// conninfo of a PostgreSQL database holding the same million rows twice;
// empty when no PostgreSQL can be had.
const std::string& PgConninfo() {
  static std::unique_ptr<orv::test::PgDatabase> db;
  static const std::string conninfo = []() -> std::string {
    orv::test::PgCluster* cluster = orv::test::PgCluster::Get();
    if (!cluster) return "";
    db = std::make_unique<orv::test::PgDatabase>(cluster);
    if (!db->ok()) return "";
    std::string error;
    auto backend = PgBackend::Connect(db->conninfo(), &error);
    std::int64_t changed = 0;
    backend->Exec(
        "create table rows(id integer primary key, name varchar(40), amount double precision, "
        "created timestamp);"
        "insert into rows select n, 'customer ' || n, n * 1.25, "
        "timestamp '2001-01-01' + (n % 10000) * interval '1 minute' "
        "from generate_series(1, 1000000) n;"
        "create table text_rows as select id, name::text as name, amount, created from rows",
        {}, &changed);
    return db->conninfo();
  }();
  return conninfo;
}

template <typename Connect>
void Run(benchmark::State& state, const Request& request, Connect connect) {
  for (auto _ : state) {
    TimingSink sink;
    FrameWriter writer(&sink);
    std::unique_ptr<Backend> backend = connect();
    if (!backend) {
      state.SkipWithError("no database");
      return;
    }
    Session session(std::move(backend), &writer);
    ResetPeak();
    long base = PeakKiB();
    auto start = Clock::now();
    Session::Summary summary = session.Handle(request);
    writer.Flush();
    std::chrono::duration<double, std::milli> first = sink.first - start, last = sink.last - start;
    state.counters["first_row_ms"] = first.count();
    state.counters["last_row_ms"] = last.count();
    state.counters["peak_rss_MiB"] = static_cast<double>(PeakKiB() - base) / 1024;
    state.counters["reply_MiB"] = static_cast<double>(sink.bytes()) / (1 << 20);
    state.counters["rows"] = static_cast<double>(summary.rows);
  }
}

std::unique_ptr<Backend> Sqlite() {
  std::string error;
  return SqliteBackend::Connect(Database(), 1000, &error);
}

std::unique_ptr<Backend> Postgres() {
  std::string error;
  if (PgConninfo().empty()) return nullptr;
  return PgBackend::Connect(PgConninfo(), &error);
}

Request Open(const char* table) {
  Request r;
  r.command = "OPEN";
  r.text = std::string("select * from ") + table;
  return r;
}

Request OpenPart(const char* table) {
  Request r = Open(table);
  r.command = "OPENPART";
  r.field2 = "500001";
  r.field3 = "1000";
  return r;
}

void BM_OpenMillionRows(benchmark::State& state) { Run(state, Open("rows"), Sqlite); }
BENCHMARK(BM_OpenMillionRows)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_OpenPartThousandRows(benchmark::State& state) { Run(state, OpenPart("rows"), Sqlite); }
BENCHMARK(BM_OpenPartThousandRows)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_PgOpenMillionRows(benchmark::State& state) { Run(state, Open("rows"), Postgres); }
BENCHMARK(BM_PgOpenMillionRows)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_PgOpenMillionTextRows(benchmark::State& state) {
  Run(state, Open("text_rows"), Postgres);
}
BENCHMARK(BM_PgOpenMillionTextRows)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_PgOpenPartThousandRows(benchmark::State& state) {
  Run(state, OpenPart("rows"), Postgres);
}
BENCHMARK(BM_PgOpenPartThousandRows)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace orv::server

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (const char* suffix : {"", "-wal", "-shm"}) {
    std::remove((orv::server::Database() + suffix).c_str());
  }
  return 0;
}
