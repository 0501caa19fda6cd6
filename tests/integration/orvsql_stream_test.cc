// A 100,000-row result through orvsql: every row arrives in order, and
// orvsql's memory grows by little more than what the dataset itself holds
// for the rows (it keeps no rows or output of its own).
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "dataset/orv_query.h"
#include "integration/orvsql_process.h"
#include "rdb/orv_rdb.h"
#include "support/rdbserver_process.h"

namespace orv::test {
namespace {

constexpr int kRows = 100000;

std::string RowsQuery(int rows) {
  return "with recursive n(x) as (select 1 union all select x + 1 from n where x < " +
         std::to_string(rows) + ") select x, printf('%0120d', x) as pad from n";
}

long ResidentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return 0;
}

// What holding the whole result in a dataset costs, measured in this
// process with the same components orvsql uses.
long DatasetKb(int port) {
  TOrvRDB rdb(nullptr);
  rdb.SetHost("127.0.0.1");
  rdb.SetPort(port);
  TOrvQuery query(nullptr);
  query.SetDatabase(&rdb);
  query.SQL()->SetText(RowsQuery(kRows));
  long before = ResidentKb();
  query.Open();
  int rows = 0;
  for (; !query.Eof(); query.Next()) ++rows;
  EXPECT_EQ(rows, kRows);
  long held = ResidentKb() - before;
  query.Close();
  return held;
}

TEST(OrvsqlStream, ALargeResultStreamsWithBoundedMemory) {
  RdbServerProcess server(ORV_RDBSERVER_PATH);
  ASSERT_TRUE(server.ok()) << server.error();
  const std::string port = std::to_string(server.port());

  OrvsqlResult small = RunOrvsql({"--port", port, "--csv", "-c", RowsQuery(1)});
  ASSERT_EQ(small.status, 0) << small.err;
  OrvsqlResult large = RunOrvsql({"--port", port, "--csv", "-c", RowsQuery(kRows)});
  ASSERT_EQ(large.status, 0) << large.err;

  // Every row, in order, exactly once.
  ASSERT_EQ(large.out.size(), 6 + kRows * (1 + 120 + 1) + 488895u);
  size_t pos = large.out.find('\n') + 1;
  for (int x = 1; x <= kRows; x += 9999) {
    std::string pad = std::to_string(x);
    pad.insert(0, 120 - pad.size(), '0');
    const std::string row = std::to_string(x) + "," + pad + "\n";
    pos = large.out.find(row, pos);
    ASSERT_NE(pos, std::string::npos) << x;
  }

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  // A sanitizer's allocator keeps freed blocks aside for a while, so
  // resident memory no longer tells what the program itself holds.
  return;
#endif
  // The output alone is 12 MB: had orvsql kept it, or the rows, it would
  // show on top of the dataset's share.
  const long dataset_kb = DatasetKb(server.port());
  const long growth_kb = large.max_rss_kb - small.max_rss_kb;
  EXPECT_LT(growth_kb, dataset_kb + dataset_kb / 10 + 4096)
      << "orvsql grew " << growth_kb << " KiB; the dataset holds " << dataset_kb << " KiB";
}

}  // namespace
}  // namespace orv::test
