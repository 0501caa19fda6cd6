// Connections and transactions of the real rdbserver: isolation between
// connections, rollback on disconnect and on shutdown, concurrent writers.
#include <atomic>
#include <thread>
#include <vector>

#include "integration/server_fixture.h"

namespace orv::test {
namespace {

class ServerSessionsTest : public OnEachBackend<ServerTest> {};
ORV_ON_EACH_BACKEND(ServerSessionsTest);

TEST_P(ServerSessionsTest, TransactionsAreSeenOnlyAfterCommit) {
  Exec("create table tx(a integer)");
  FrameClient a;
  ASSERT_TRUE(a.Connect(port()));
  ASSERT_EQ(a.Request("TRAN", "")->code, 0);
  EXPECT_EQ(a.Request("EXEC", "insert into tx values(1)")->code, 1);
  EXPECT_EQ(a.Open("select count(*) from tx")->rows[0][0], "1");  // its own change
  EXPECT_EQ(Value("select count(*) from tx"), "0");               // not yet for others
  EXPECT_EQ(a.Request("COMMIT", "")->code, 0);
  EXPECT_EQ(Value("select count(*) from tx"), "1");

  ASSERT_EQ(a.Request("TRAN", "")->code, 0);
  EXPECT_EQ(a.Request("EXEC", "delete from tx")->code, 1);
  // A failing statement list inside the transaction undoes only itself.
  EXPECT_LT(a.Request("EXEC", "insert into tx values(5); insert into nowhere values(1)")->code, 0);
  EXPECT_EQ(a.Open("select count(*) from tx")->rows[0][0], "0");
  EXPECT_EQ(a.Request("ROLLBACK", "")->code, 0);
  EXPECT_EQ(Value("select count(*) from tx"), "1");

  // Commit without a transaction reports the database's own message; a
  // second TRAN inside one is refused.
  auto commit = a.Request("COMMIT", "");
  EXPECT_LT(commit->code, 0);
  EXPECT_NE(commit->text.find(postgres() ? "there is no transaction in progress"
                                         : "no transaction is active"),
            std::string::npos)
      << commit->text;
  ASSERT_EQ(a.Request("TRAN", "")->code, 0);
  EXPECT_LT(a.Request("TRAN", "")->code, 0);
  EXPECT_EQ(a.Request("ROLLBACK", "")->code, 0);

  // CLOSE ends the connection without a reply.
  ASSERT_TRUE(a.SendMessage("CLOSE;;;0;\n"));
  EXPECT_TRUE(a.WaitClosed());
}

TEST_P(ServerSessionsTest, DisconnectRollsBackAndReleasesTheWriteLock) {
  Exec("create table gone(a integer)");
  {
    FrameClient a;
    ASSERT_TRUE(a.Connect(port()));
    ASSERT_EQ(a.Request("TRAN", "")->code, 0);
    EXPECT_EQ(a.Request("EXEC", "insert into gone values(1)")->code, 1);
  }  // vanishes without COMMIT or CLOSE
  // This writer waits for the lock the vanished transaction held, then runs.
  EXPECT_EQ(Exec("insert into gone values(2)"), 1);
  EXPECT_EQ(Value("select a from gone"), "2");
}

TEST_P(ServerSessionsTest, ConcurrentWritersLoseNothing) {
  Exec("create table many(worker integer, n integer)");
  constexpr int kWorkers = 4, kRounds = 25;
  std::atomic<int> failures{0};
  std::vector<std::thread> workers;
  for (int w = 0; w < kWorkers; ++w) {
    workers.emplace_back([w, &failures] {
      for (int n = 0; n < kRounds; ++n) {
        FrameClient c;
        if (!c.Connect(port())) {
          ++failures;
          continue;
        }
        std::string insert = "insert into many values(" + std::to_string(w) + ", " +
                             std::to_string(n) + ")";
        if (n % 2 == 0) {
          auto r = c.Request("EXEC", insert + "; update many set n = n where worker = -1");
          if (!r || r->code != 1) ++failures;
        } else {
          auto t = c.Request("TRAN", "");
          auto r = c.Request("EXEC", insert);
          auto m = c.Request("COMMIT", "");
          if (!t || t->code != 0 || !r || r->code != 1 || !m || m->code != 0) ++failures;
        }
      }
    });
  }
  for (auto& t : workers) t.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(Value("select count(*) from many"), std::to_string(kWorkers * kRounds));
  EXPECT_EQ(Value("select count(distinct worker * 1000 + n) from many"),
            std::to_string(kWorkers * kRounds));
}

TEST(ServerShutdownTest, TermRollsBackOpenTransactionsAndExitsZero) {
  // The first server owns the temporary directory; the database in it
  // outlives each of the two servers that use it below.
  RdbServerProcess server(ORV_RDBSERVER_PATH);
  ASSERT_TRUE(server.ok()) << server.error();
  const std::string db = server.db_path();
  FrameClient a, idle;
  ASSERT_TRUE(a.Connect(server.port()));
  ASSERT_TRUE(idle.Connect(server.port()));
  ASSERT_EQ(a.Request("EXEC", "create table kept(a integer)")->code, 0);
  ASSERT_EQ(a.Request("TRAN", "")->code, 0);
  ASSERT_EQ(a.Request("EXEC", "insert into kept values(1)")->code, 1);
  EXPECT_EQ(server.Stop(), 0);
  EXPECT_TRUE(a.WaitClosed());
  EXPECT_TRUE(idle.WaitClosed());

  RdbServerProcess again(ORV_RDBSERVER_PATH, {}, db);
  ASSERT_TRUE(again.ok()) << again.error();
  FrameClient b;
  ASSERT_TRUE(b.Connect(again.port()));
  EXPECT_EQ(b.Open("select count(*) from kept")->rows[0][0], "0");
  EXPECT_EQ(again.Stop(), 0);
}

}  // namespace
}  // namespace orv::test
