// A 10,000-row fetch and a cached-update commit through a proxy that breaks
// the connection at each frame boundary in turn: closed, stalled past
// TimeOut (then closed), or split and delayed. A fetch ends with the right
// rows or a reported error, never a wrong row; a commit leaves the table
// with all of its changes or none, and all of them when it reports success.
// Never a crash or a hang (and, under the sanitizers, never a leak).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dataset/message_log.h"
#include "dataset/orv_query.h"
#include "dataset/orv_table.h"
#include "integration/shared_server.h"
#include "rdb/orv_rdb.h"
#include "support/fault_proxy.h"

namespace orv::test {
namespace {

constexpr int kRows = 10000;
constexpr int kTimeOutMs = 50;

using Fault = FaultProxy::Fault;
using Direction = FaultProxy::Direction;

class FaultInjectionTest : public SharedServerTest {
 protected:
  void SetUp() override {
    SharedServerTest::SetUp();
    if (filled_) return;
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
    filled_ = true;
  }
  static void TearDownTestSuite() {
    SharedServerTest::TearDownTestSuite();
    filled_ = false;
  }

  // Runs statements on a connection of its own, straight to the server.
  static void Direct(const std::string& sql) {
    orv::testing::MessageLog log;
    TOrvRDB rdb(nullptr);
    rdb.SetAddress("127.0.0.1");
    rdb.SetPort(server_->port());
    TOrvQuery q(nullptr);
    q.SetDatabase(&rdb);
    q.SQL()->SetText(sql);
    q.ExecSQL();
    ASSERT_GE(q.RowsAffected(), 0) << sql << ": " << log.Texts();
  }
  // The rows of the commit test's table, "id:v" joined by ",".
  static std::string AccountRows() {
    orv::testing::MessageLog log;
    TOrvRDB rdb(nullptr);
    rdb.SetAddress("127.0.0.1");
    rdb.SetPort(server_->port());
    TOrvQuery q(nullptr);
    q.SetDatabase(&rdb);
    q.SQL()->SetText("select id, v from acct order by id");
    q.Open();
    std::string rows;
    for (; q.Active() && !q.Eof(); q.Next())
      rows += (rows.empty() ? "" : ",") + q.FieldByName("id")->AsString() + ":" +
              q.FieldByName("v")->AsString();
    return q.Active() ? rows : log.Texts();
  }

  static inline bool filled_ = false;  // the big table exists on server_

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
  const int frames = proxy.LastFrames(FaultProxy::Direction::kToClient);
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

constexpr const char* kBefore = "1:10,2:20,3:30,4:40";
constexpr const char* kAfter = "1:110,2:120,4:40,5:50";

// Opens the table straight from the server, makes four cached changes, and
// commits them through the proxy. True when the commit reported success.
bool CommitThrough(FaultProxy& proxy, int server_port) {
  orv::testing::MessageLog log;
  TOrvRDB rdb(nullptr);
  rdb.SetAddress("127.0.0.1");
  rdb.SetPort(server_port);
  rdb.SetTimeOut(kTimeOutMs);
  TOrvTable t(nullptr);
  t.SetDatabase(&rdb);
  t.SetTableName("acct");
  t.SetIndexFieldNames("id");
  t.SetCachedUpdates(true);
  t.Open();
  EXPECT_TRUE(t.Active()) << log.Texts();
  if (!t.Active()) return false;
  for (int i = 0; i < 2; ++i, t.Next()) {
    t.Edit();
    t.FieldByName("v")->SetAsInteger(t.FieldByName("v")->AsInteger() + 100);
    t.Post();
  }
  t.Delete();  // id 3
  t.Append();
  t.FieldByName("id")->SetAsInteger(5);
  t.FieldByName("v")->SetAsInteger(50);
  t.Post();
  rdb.SetPort(proxy.Port());
  try {
    t.CommitUpdates();
    return true;
  } catch (const Exception&) {
    return false;
  }
}

class CommitFaultTest : public FaultInjectionTest,
                        public ::testing::WithParamInterface<Direction> {};

TEST_P(CommitFaultTest, ACommitBrokenAtAnyFrameKeepsAllOrNothing) {
  const Direction direction = GetParam();
  FaultProxy proxy(server_->port());
  ASSERT_GT(proxy.Port(), 0);
  Direct("create table if not exists acct (id integer primary key, v integer)");
  const std::string reset = "delete from acct; insert into acct values (1, 10), (2, 20), "
                            "(3, 30), (4, 40)";
  Direct(reset);
  ASSERT_TRUE(CommitThrough(proxy, server_->port()));
  ASSERT_EQ(AccountRows(), kAfter);
  ASSERT_TRUE(proxy.WaitIdle());
  const int frames = proxy.LastFrames(direction);
  ASSERT_GE(frames, 6);  // TRAN, the changes, COMMIT (and their blocks)

  for (Fault fault : {Fault::kClose, Fault::kStall, Fault::kSplit}) {
    for (int frame = 0; frame < frames; ++frame) {
      SCOPED_TRACE("fault " + std::to_string(static_cast<int>(fault)) + " before frame " +
                   std::to_string(frame) + " of " + std::to_string(frames));
      Direct(reset);
      proxy.SetPlan({fault, direction, frame, 3 * kTimeOutMs});
      const bool committed = CommitThrough(proxy, server_->port());
      ASSERT_TRUE(proxy.WaitIdle());
      const std::string rows = AccountRows();
      if (committed || fault == Fault::kSplit) {
        EXPECT_TRUE(committed);
        EXPECT_EQ(rows, kAfter);
      } else {
        EXPECT_TRUE(rows == kBefore || rows == kAfter) << rows;
      }
      proxy.SetPlan({});
    }
  }
}

std::string DirectionName(const ::testing::TestParamInfo<Direction>& info) {
  return info.param == Direction::kToServer ? "Requests" : "Replies";
}

INSTANTIATE_TEST_SUITE_P(Directions, CommitFaultTest,
                         ::testing::Values(Direction::kToServer, Direction::kToClient),
                         DirectionName);

}  // namespace
}  // namespace orv::test
