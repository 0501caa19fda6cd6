// The readers bench_compare sets side by side. Each reads one whole result
// and touches every value as text, and says how long that took, when the
// first row could be read and how much memory its process gained.
//
// A reader runs in a process of its own (see compare_main.cc), so its peak
// memory is its own; the functions here measure the calling process. Used by
// one thread.
#pragma once

#include <cstdint>
#include <string>

namespace orv::bench {

struct Measure {
  double first_ms = 0;    // from the request until the first row's values are read
  double all_ms = 0;      // until every row is in the client (0: not measured)
  double total_ms = 0;    // until every value of every row was read
  double walk_ms = 0;     // walking the rows again once all are received (0: not measured)
  double client_mib = 0;  // the process's peak resident memory above its start
  std::int64_t rows = 0;
  std::int64_t bytes = 0;  // value text read, to compare the readers' work
  char error[256] = {};
};

// Peak resident memory in KiB since the last ResetPeak, of this process or `pid`.
long PeakKiB(int pid = 0);
long ResidentKiB(int pid = 0);
void ResetPeak(int pid = 0);

// TOrvQuery through rdbserver on 127.0.0.1:port: Open, then First/Next over
// every row reading every field with AsString while the rows arrive, then
// the same walk over the received rows. With walk false: Open, the first
// row, then wait until every row is in.
Measure ReadOrv(int port, const std::string& sql, bool walk);
// libpq: PQexec holding the whole result, or single-row mode.
Measure ReadPqExec(const std::string& conninfo, const std::string& sql);
Measure ReadPqSingleRow(const std::string& conninfo, const std::string& sql);
// sqlite3 in the reading process.
Measure ReadSqlite(const std::string& path, const std::string& sql);

}  // namespace orv::bench
