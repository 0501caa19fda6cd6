// Server-side cost of large results: a 1,000,000-row SELECT run through a
// session on SQLite, with the reply handed to a sink that notes when the
// first and the last bytes leave, and the process's peak resident memory.
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

#include "server/session.h"
#include "server/sqlite_backend.h"

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

void Run(benchmark::State& state, const Request& request) {
  std::string error;
  auto backend = SqliteBackend::Connect(Database(), 1000, &error);
  for (auto _ : state) {
    TimingSink sink;
    FrameWriter writer(&sink);
    Session session(SqliteBackend::Connect(Database(), 1000, &error), &writer);
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

void BM_OpenMillionRows(benchmark::State& state) {
  Request r;
  r.command = "OPEN";
  r.text = "select * from rows";
  Run(state, r);
}
BENCHMARK(BM_OpenMillionRows)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_OpenPartThousandRows(benchmark::State& state) {
  Request r;
  r.command = "OPENPART";
  r.field2 = "500001";
  r.field3 = "1000";
  r.text = "select * from rows";
  Run(state, r);
}
BENCHMARK(BM_OpenPartThousandRows)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace orv::server

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (const char* suffix : {"", "-wal", "-shm"}) {
    std::remove((orv::Database() + suffix).c_str());
  }
  return 0;
}
