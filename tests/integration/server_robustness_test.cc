// Bad input and limits: each case ends only its own request or connection,
// and a normal request still works afterwards.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <optional>
#include <thread>
#include <vector>

#include "integration/server_fixture.h"

extern char** environ;

namespace orv::test {
namespace {

using P = FrameClient;

class ServerRobustnessTest : public ServerTest {
 protected:
  // The server still answers a plain request on a fresh connection.
  static void ExpectServing() { EXPECT_EQ(Value("select 'alive'"), "alive"); }
};

TEST_F(ServerRobustnessTest, BrokenFramingClosesOnlyThatConnection) {
  FrameClient c;
  ASSERT_TRUE(c.Connect(port()));
  ASSERT_TRUE(c.SendRaw("12x4OPEN;;;0;\nselect 1"));
  auto line = c.ReadResult();
  ASSERT_TRUE(line.has_value());
  EXPECT_LT(line->code, 0);
  EXPECT_NE(line->text.find("four decimal digits"), std::string::npos) << line->text;
  EXPECT_TRUE(c.WaitClosed());
  ExpectServing();

  // A message cut short by a client that goes away.
  ASSERT_TRUE(c.Connect(port()));
  ASSERT_TRUE(c.SendRaw("0100OPEN;;;0;\nsel"));
  c.Close();
  // A message whose header cannot be read.
  ASSERT_TRUE(c.Connect(port()));
  ASSERT_TRUE(c.SendMessage("OPEN;;1\nselect 1"));
  EXPECT_LT(c.ReadResult()->code, 0);
  EXPECT_TRUE(c.WaitClosed());
  ExpectServing();
}

TEST_F(ServerRobustnessTest, RequestErrorsLeaveTheConnectionUsable) {
  FrameClient c;
  ASSERT_TRUE(c.Connect(port()));
  auto unknown = c.Request("SHOUT", "select 1");
  EXPECT_LT(unknown->code, 0);
  EXPECT_NE(unknown->text.find("unknown command"), std::string::npos);
  auto proc = c.Request("PROCOPEN", "p");
  EXPECT_LT(proc->code, 0);
  EXPECT_NE(proc->text.find("no procedure named p"), std::string::npos);
  EXPECT_LT(c.Request("PARAM", "p")->code, 0);
  // A bad parameter block (the parser's own tests list the kinds).
  EXPECT_LT(c.Request("OPEN", "select :a, :b", P::Param(":a", 8, "1"), 2)->code, 0);
  EXPECT_LT(c.Request("OPEN", "select :a", "I;:a;8;5;1;", 1)->code, 0);
  EXPECT_LT(c.Request("OPENPART", "select 1", "", 0, "one", "2")->code, 0);
  // CONNECT gets no reply, so the next reply is the OPEN's.
  ASSERT_TRUE(c.SendMessage("CONNECT;user;secret;db;\n"));
  auto rs = c.Open("select :a", P::Param(":a", 8, "7"), 1);
  ASSERT_TRUE(rs.has_value());
  EXPECT_EQ(rs->rows.at(0).at(0), "7");
}

// Sends 64 MiB and a little more of statement text in full frames; returns
// the result line the server answers with.
std::optional<ResultLine> SendOversized(int port) {
  FrameClient c;
  if (!c.Connect(port)) return std::nullopt;
  std::string frame = "4092" + std::string(4092, ' ');
  std::string batch;
  for (int i = 0; i < 256; ++i) batch += frame;
  if (!c.SendRaw("4092OPEN;;;0;\n" + std::string(4092 - 10, ' '))) return std::nullopt;
  for (std::size_t sent = 0; sent <= (64u << 20) && c.SendRaw(batch); sent += batch.size()) {
  }
  return c.ReadResult();
}

TEST_F(ServerRobustnessTest, OversizedRequestIsRefused) {
  auto line = SendOversized(port());
  ASSERT_TRUE(line.has_value());
  EXPECT_LT(line->code, 0);
  EXPECT_NE(line->text.find("size limit"), std::string::npos) << line->text;
  ExpectServing();
}

TEST_F(ServerRobustnessTest, OversizedResultIsRefused) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a gigabyte under a sanitizer's allocator costs too much for one check";
#endif
  // 1,100 values of 1 MB: past the 1 GiB the server holds for one result.
  // A plain read that long is measured and streamed; a procedure's rows are
  // held until its body ends. Producing them takes the server seconds on a
  // busy machine.
  Exec("CREATE PROCEDURE huge AS BEGIN with recursive n(i) as (select 1 union all "
       "select i + 1 from n where i < 1100) select zeroblob(1000000) from n; END");
  FrameClient c;
  ASSERT_TRUE(c.Connect(port()));
  ASSERT_TRUE(c.SendMessage("PROCOPEN;;;0;\nhuge"));
  auto line = c.ReadResult(120000);
  ASSERT_TRUE(line.has_value());
  EXPECT_LT(line->code, 0);
  EXPECT_EQ(line->text,
            "procedure huge: result is larger than 1024 MiB; fetch it in parts with OPENPART");
  ExpectServing();
}

// Resident memory of a process in KiB, from /proc.
long ResidentKb(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

TEST(ServerMemoryTest, RefusedRequestsHandTheirMemoryBack) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the sanitizers' allocators keep freed memory on purpose";
#endif
  RdbServerProcess server(ORV_RDBSERVER_PATH);
  ASSERT_TRUE(server.ok()) << server.error();
  ASSERT_TRUE(SendOversized(server.port()).has_value());
  const long after_first = ResidentKb(server.pid());
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(SendOversized(server.port()).has_value());
  // The refused connections are gone; their buffers must be too, once their
  // threads have ended, which a busy machine may delay.
  FrameClient c;
  ASSERT_TRUE(c.Connect(server.port()));
  ASSERT_TRUE(c.Open("select 1").has_value());
  long grown = ResidentKb(server.pid()) - after_first;
  for (int i = 0; i < 50 && grown >= 16 * 1024; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    grown = ResidentKb(server.pid()) - after_first;
  }
  EXPECT_LT(grown, 16 * 1024);
  EXPECT_EQ(server.Stop(), 0);
}

TEST(ServerLimitsTest, AClientBeyondTheLimitWaitsForASlotThenIsRefused) {
  RdbServerProcess server(ORV_RDBSERVER_PATH, {"--max-connections", "2", "--slot-wait", "300"});
  ASSERT_TRUE(server.ok()) << server.error();
  FrameClient a, b, c;
  ASSERT_TRUE(a.Connect(server.port()));
  ASSERT_TRUE(b.Connect(server.port()));
  ASSERT_EQ(a.Request("TRAN", "")->code, 0);  // both are being served
  ASSERT_LT(b.Request("ROLLBACK", "")->code, 0);
  ASSERT_TRUE(c.Connect(server.port()));
  const auto start = std::chrono::steady_clock::now();
  auto refused = c.ReadResult();
  ASSERT_TRUE(refused.has_value());
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
  EXPECT_LT(refused->code, 0);
  EXPECT_NE(refused->text.find("too many connections (limit 2)"), std::string::npos);
  EXPECT_TRUE(c.WaitClosed());
  // A slot that frees within the wait is handed on.
  ASSERT_TRUE(c.Connect(server.port()));
  ASSERT_TRUE(a.SendMessage("CLOSE;;;0;\n"));
  EXPECT_EQ(c.Open("select 3")->rows.at(0).at(0), "3");
  EXPECT_EQ(server.Stop(), 0);
}

TEST(ServerLimitsTest, ClientsReconnectingAtTheLimitAreNeverRefused) {
  constexpr int kClients = 4;
  RdbServerProcess server(ORV_RDBSERVER_PATH,
                          {"--max-connections", std::to_string(kClients)});
  ASSERT_TRUE(server.ok()) << server.error();
  std::atomic<int> refused{0}, served{0};
  std::vector<std::thread> clients;
  for (int i = 0; i < kClients; ++i) {
    clients.emplace_back([&] {
      for (int round = 0; round < 25; ++round) {
        FrameClient c;
        if (!c.Connect(server.port())) break;
        auto line = c.Request("ROLLBACK", "");
        if (!line || line->text.find("too many connections") != std::string::npos) {
          ++refused;
          continue;
        }
        ++served;
        // Reconnects at once, before the server has read the CLOSE.
        c.SendMessage("CLOSE;;;0;\n");
      }
    });
  }
  for (auto& t : clients) t.join();
  EXPECT_EQ(refused.load(), 0);
  EXPECT_EQ(served.load(), kClients * 25);
  EXPECT_EQ(server.Stop(), 0);
}

TEST(ServerLimitsTest, SilentConnectionsAreClosedButRestingOnesAreKept) {
  RdbServerProcess server(ORV_RDBSERVER_PATH, {"--request-timeout", "1"});
  ASSERT_TRUE(server.ok()) << server.error();
  FrameClient silent, half, later, resting;
  ASSERT_TRUE(silent.Connect(server.port()));
  ASSERT_TRUE(half.Connect(server.port()));
  ASSERT_TRUE(half.SendRaw("00"));
  // A request begun after others were served has the same bound.
  ASSERT_TRUE(later.Connect(server.port()));
  ASSERT_LT(later.Request("ROLLBACK", "")->code, 0);
  ASSERT_TRUE(later.SendRaw("00"));
  ASSERT_TRUE(resting.Connect(server.port()));
  ASSERT_LT(resting.Request("ROLLBACK", "")->code, 0);
  for (FrameClient* c : {&silent, &half, &later}) {
    auto line = c->ReadResult(5000);
    ASSERT_TRUE(line.has_value());
    EXPECT_EQ(line->text, "request not complete within 1 seconds");
    EXPECT_TRUE(c->WaitClosed(5000));
  }
  // Between requests only the idle time-out (none here) applies.
  EXPECT_EQ(resting.Open("select 4")->rows.at(0).at(0), "4");
  EXPECT_EQ(server.Stop(), 0);
}

TEST(ServerLimitsTest, IdleConnectionsAreClosedAfterTheIdleTimeOut) {
  RdbServerProcess server(ORV_RDBSERVER_PATH, {"--idle-timeout", "1"});
  ASSERT_TRUE(server.ok()) << server.error();
  FrameClient a;
  ASSERT_TRUE(a.Connect(server.port()));
  ASSERT_EQ(a.Request("TRAN", "")->code, 0);
  EXPECT_TRUE(a.WaitClosed(5000));
  EXPECT_EQ(server.Stop(), 0);
}

// Exit status of rdbserver run with args, or -1 when it does not end in time.
int ExitStatus(std::vector<std::string> args) {
  args.insert(args.begin(), ORV_RDBSERVER_PATH);
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return -1;
  int status = 0;
  for (int i = 0; i < 500 && ::waitpid(pid, &status, WNOHANG) == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (i == 499) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      return -1;
    }
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ServerCommandLineTest, BadArgumentsExitWithTwo) {
  EXPECT_EQ(ExitStatus({"--help"}), 0);
  EXPECT_EQ(ExitStatus({"--listen", "nowhere"}), 2);
  EXPECT_EQ(ExitStatus({"--listen", "127.0.0.1:70000"}), 2);
  EXPECT_EQ(ExitStatus({"--max-connections", "0"}), 2);
  EXPECT_EQ(ExitStatus({"--idle-timeout"}), 2);
  EXPECT_EQ(ExitStatus({"--request-timeout", "-1"}), 2);
  EXPECT_EQ(ExitStatus({"--slot-wait", "soon"}), 2);
  EXPECT_EQ(ExitStatus({"--frobnicate"}), 2);
  EXPECT_EQ(ExitStatus({"--postgres"}), 2);
  EXPECT_EQ(ExitStatus({"--sqlite", "a.db", "--postgres", ""}), 2);
  // A PostgreSQL that cannot be reached fails the start.
  EXPECT_EQ(ExitStatus({"--postgres", "host=127.0.0.1 port=1 connect_timeout=2"}), 1);
}

}  // namespace
}  // namespace orv::test
