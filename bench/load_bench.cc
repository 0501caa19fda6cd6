// bench_load: the load generator. Starts rdbserver on a free loopback port
// with a fresh database (or uses --port), runs CLIENTS concurrent clients of
// REQUESTS mixed requests each (opens, paged opens, inserts, updates, user
// transactions, cached-update commits) through the package, and prints
// requests/s, latency percentiles per kind of request, errors, and the
// server's resident memory after a warm-up run and after the measured run.
// With --postgres the server it starts serves that PostgreSQL database.
//   bench_load [--clients N] [--requests N] [--port P | --postgres CONNINFO]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "support/load_driver.h"
#include "support/rdbserver_process.h"

namespace {

long ResidentKiB(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

void Print(const char* what, const orv::test::LatencySummary& s) {
  std::printf("  %-20s %7lld  p50 %7.2f  p90 %7.2f  p99 %7.2f  max %8.2f ms\n", what,
              static_cast<long long>(s.count), s.p50_ms, s.p90_ms, s.p99_ms, s.max_ms);
}

}  // namespace

int main(int argc, char** argv) {
  orv::test::LoadOptions options;
  std::vector<std::string> postgres;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--clients") == 0) options.clients = std::atoi(argv[i + 1]);
    else if (std::strcmp(argv[i], "--requests") == 0) options.requests = std::atoi(argv[i + 1]);
    else if (std::strcmp(argv[i], "--port") == 0) options.port = std::atoi(argv[i + 1]);
    else if (std::strcmp(argv[i], "--postgres") == 0) postgres = {"--postgres", argv[i + 1]};
  }
  std::unique_ptr<orv::test::RdbServerProcess> server;
  if (options.port == 0) {
    std::vector<std::string> args = {"--max-connections", std::to_string(2 * options.clients + 8)};
    args.insert(args.end(), postgres.begin(), postgres.end());
    server = std::make_unique<orv::test::RdbServerProcess>(ORV_RDBSERVER_PATH, args);
    if (!server->ok()) {
      std::fprintf(stderr, "bench_load: %s\n", server->error().c_str());
      return 1;
    }
    options.port = server->port();
  }
  orv::test::LoadDriver driver(options);
  std::string error;
  if (!driver.Prepare(&error)) {
    std::fprintf(stderr, "bench_load: %s\n", error.c_str());
    return 1;
  }
  driver.Run(std::max(1, options.requests / 10));  // warm-up
  const long before = server ? ResidentKiB(server->pid()) : -1;
  const orv::test::LoadReport r = driver.Run();
  const long after = server ? ResidentKiB(server->pid()) : -1;

  std::printf("%d clients x %d requests: %lld requests in %.2f s = %.0f requests/s\n",
              options.clients, options.requests, static_cast<long long>(r.requests), r.seconds,
              r.RequestsPerSecond());
  Print("all", r.all);
  for (const auto& [kind, s] : r.by_kind) Print(kind.c_str(), s);
  std::printf("conflicts %lld, other errors %lld, clients whose writes did not add up %zu\n",
              static_cast<long long>(r.conflicts), static_cast<long long>(r.errors),
              r.mismatches.size());
  for (const std::string& s : r.samples) std::printf("  error: %s\n", s.c_str());
  for (const std::string& m : r.mismatches) std::printf("  %s\n", m.c_str());
  if (server) {
    std::printf("server resident memory: %ld KiB after warm-up, %ld KiB after the run\n", before,
                after);
    server->Stop();
  }
  return r.errors == 0 && r.mismatches.empty() ? 0 : 1;
}
