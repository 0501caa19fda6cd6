// A 10,000-row fetch through a proxy that breaks the server's reply at each
// frame boundary in turn: closed, stalled past TimeOut (then closed), or
// split and delayed. Every case ends with the right rows or a reported
// error; never a crash, a hang or a wrong row (and, under the sanitizers,
// never a leak).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dataset/message_log.h"
#include "dataset/orv_query.h"
#include "integration/shared_server.h"
#include "rdb/orv_rdb.h"
#include "support/fault_proxy.h"

namespace orv::test {
namespace {

constexpr int kRows = 10000;
constexpr int kTimeOutMs = 50;

using Fault = FaultProxy::Fault;

class FaultInjectionTest : public SharedServerTest {
 protected:
  static void SetUpTestSuite() {
    SharedServerTest::SetUpTestSuite();
    orv::testing::MessageLog log;
    TOrvRDB rdb(nullptr);
    rdb.SetAddress("127.0.0.1");
    rdb.SetPort(server_->port());
    TOrvQuery q(nullptr);
    q.SetDatabase(&rdb);
    q.SQL()->SetText(
        "create table big (id integer primary key, name varchar(12));"
        "insert into big with recursive n(i) as (select 1 union all select i + 1 from n "
        "where i < " + std::to_string(kRows) + ") select i, 'row ' || i from n");
    q.ExecSQL();
    ASSERT_EQ(q.RowsAffected(), kRows) << log.Texts();
  }

  struct Fetch {
    int rows = 0;          // right rows read, in order
    bool wrong = false;    // a row that is not what the table holds
    bool reported = false; // an error reached the application
  };

  // Opens the table through the proxy and reads every row it can.
  Fetch FetchThrough(FaultProxy& proxy) {
    orv::testing::MessageLog log;
    TOrvRDB rdb(nullptr);
    rdb.SetAddress("127.0.0.1");
    rdb.SetPort(proxy.Port());
    rdb.SetTimeOut(kTimeOutMs);
    TOrvQuery q(nullptr);
    q.SetDatabase(&rdb);
    q.SQL()->SetText("select id, name from big order by id");
    Fetch f;
    q.Open();
    try {
      while (q.Active() && !q.Eof()) {
        const int id = q.FieldByName("id")->AsInteger();
        if (id != f.rows + 1 || q.FieldByName("name")->AsString() != "row " + std::to_string(id)) {
          f.wrong = true;
          break;
        }
        ++f.rows;
        q.Next();
      }
    } catch (const Exception&) {
      f.reported = true;
    }
    q.Close();
    f.reported = f.reported || log.Count() > 0;
    return f;
  }
};

class FrameFaultTest : public FaultInjectionTest,
                       public ::testing::WithParamInterface<Fault> {};

TEST_P(FrameFaultTest, AFetchBrokenAtAnyFrameEndsRightOrReported) {
  const Fault fault = GetParam();
  FaultProxy proxy(server_->port());
  ASSERT_GT(proxy.Port(), 0);
  const Fetch clean = FetchThrough(proxy);
  ASSERT_EQ(clean.rows, kRows);
  ASSERT_FALSE(clean.reported);
  ASSERT_TRUE(proxy.WaitIdle());
  const int frames = proxy.LastFramesToClient();
  ASSERT_GT(frames, 20);  // the reply spans many frames

  for (int frame = 0; frame < frames; ++frame) {
    SCOPED_TRACE("before frame " + std::to_string(frame) + " of " + std::to_string(frames));
    proxy.SetPlan({fault, FaultProxy::Direction::kToClient, frame, 3 * kTimeOutMs});
    const Fetch f = FetchThrough(proxy);
    EXPECT_FALSE(f.wrong) << "after " << f.rows << " rows";
    if (fault == Fault::kSplit) {
      EXPECT_EQ(f.rows, kRows);
      EXPECT_FALSE(f.reported);
    } else {
      // The end marker is in the last frame: every cut loses it.
      EXPECT_LT(f.rows, kRows);
      EXPECT_TRUE(f.reported) << "after " << f.rows << " rows";
    }
    ASSERT_TRUE(proxy.WaitIdle());
  }
}

std::string FaultName(const ::testing::TestParamInfo<Fault>& info) {
  switch (info.param) {
    case Fault::kClose: return "Close";
    case Fault::kStall: return "Stall";
    case Fault::kSplit: return "Split";
    default: return "None";
  }
}

INSTANTIATE_TEST_SUITE_P(Faults, FrameFaultTest,
                         ::testing::Values(Fault::kClose, Fault::kStall, Fault::kSplit),
                         FaultName);

}  // namespace
}  // namespace orv::test
