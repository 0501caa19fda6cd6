// A bounded load test: concurrent clients of one rdbserver, a mixed run of
// requests each, twice, on SQLite and on PostgreSQL. No write may be lost or
// duplicated, no error other than a reported conflict may occur, and the
// server's memory after the second run stays where the first run left it.
// bench/load_bench.cc runs the full-size version and reports its figures.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "integration/shared_server.h"
#include "support/load_driver.h"

namespace orv::test {
namespace {

constexpr int kClients = 12;
constexpr int kRequests = 40;

long ResidentKiB(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

std::string Describe(const LoadReport& r) {
  std::string text = std::to_string(r.errors) + " errors";
  for (const std::string& s : r.samples) text += "\n  " + s;
  for (const std::string& m : r.mismatches) text += "\n  " + m;
  return text;
}

using LoadTest = OnEachBackend<SharedServerTest>;

TEST_P(LoadTest, ConcurrentClientsLoseNothingAndLeaveMemoryFlat) {
  // A client may hold two connections at once (a transaction's and a
  // request's): the server's default limit leaves room for both.
  static_assert(2 * kClients <= 64);
  RdbServerProcess& server = *server_;
  LoadDriver driver({server.port(), kClients, kRequests, 7});
  std::string error;
  ASSERT_TRUE(driver.Prepare(&error)) << error;

  const LoadReport first = driver.Run();
  EXPECT_EQ(first.requests, kClients * kRequests);
  EXPECT_EQ(first.errors, 0) << Describe(first);
  EXPECT_TRUE(first.mismatches.empty()) << Describe(first);
  const long after_first = ResidentKiB(server.pid());

  const LoadReport second = driver.Run();
  EXPECT_EQ(second.errors, 0) << Describe(second);
  EXPECT_TRUE(second.mismatches.empty()) << Describe(second);
  const long after_second = ResidentKiB(server.pid());
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
  // Sanitizers keep freed memory in quarantine; only a plain build shows
  // the server's own footprint.
  EXPECT_LT(after_second - after_first, 8 * 1024) << after_first << " KiB, then " << after_second;
#else
  (void)after_first;
  (void)after_second;
#endif
}

ORV_ON_EACH_BACKEND(LoadTest);

}  // namespace
}  // namespace orv::test
