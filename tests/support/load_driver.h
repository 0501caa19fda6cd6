// LoadDriver: many concurrent clients of one rdbserver, each running a
// bounded, seeded mix of requests through the package's components (opens,
// paged opens, statements, user transactions, cached-update commits), for
// the load test and the load generator (bench/load_bench.cc).
//
// Every client keeps its own count of the rows and the counter it changed;
// after the run the driver reads both back from the server, so a lost or a
// duplicated write shows as a mismatch. Errors are sorted into conflicts
// (the database refusing a write under contention, which a client may see
// and retry) and everything else, which a correct run has none of.
//
// Run() starts one thread per client and joins them all before it returns.
// Call it from one thread; it installs a message-box handler for its run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orv::test {

struct LoadOptions {
  int port = 0;
  int clients = 64;
  int requests = 1000;  // per client
  unsigned seed = 1;
  int timeout_ms = 5000;  // the connections' TimeOut
};

struct LatencySummary {
  std::int64_t count = 0;
  double p50_ms = 0, p90_ms = 0, p99_ms = 0, max_ms = 0;
};

struct LoadReport {
  double seconds = 0;
  std::int64_t requests = 0;
  std::int64_t conflicts = 0;
  std::int64_t errors = 0;              // neither success nor a conflict
  std::vector<std::string> samples;     // the first few error texts
  std::vector<std::string> mismatches;  // clients whose writes did not add up
  LatencySummary all;
  std::vector<std::pair<std::string, LatencySummary>> by_kind;
  double RequestsPerSecond() const { return seconds > 0 ? requests / seconds : 0; }
};

class LoadDriver {
 public:
  explicit LoadDriver(LoadOptions options) : options_(options) {}

  // Creates the tables the clients write (once per database). False and
  // *error when the server refuses.
  bool Prepare(std::string* error);
  // One run of `requests` per client (0: the options' count).
  LoadReport Run(int requests = 0);

 private:
  LoadOptions options_;
  int runs_ = 0;  // rows of earlier runs stay; each run writes its own
};

}  // namespace orv::test
