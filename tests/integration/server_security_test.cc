// rdbserver's guards against clients: log-in with --users, no files outside
// the database, and no unbounded reply held for a client that stops reading.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "dataset/message_log.h"
#include "dataset/orv_query.h"
#include "integration/server_fixture.h"
#include "rdb/orv_rdb.h"

namespace orv::test {
namespace {

// The account line `rdbserver --hash-password` prints for user/password.
std::string HashedEntry(const std::string& user, const std::string& password) {
  const std::string command = "printf '%s\\n' '" + password + "' | " ORV_RDBSERVER_PATH
                              " --hash-password " + user;
  FILE* out = ::popen(command.c_str(), "r");
  if (out == nullptr) return {};
  char line[512] = {};
  const bool read = std::fgets(line, sizeof line, out) != nullptr;
  ::pclose(out);
  std::string entry = read ? line : "";
  if (!entry.empty() && entry.back() == '\n') entry.pop_back();
  return entry;
}

class ServerLoginTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    users_ = ::testing::TempDir() + "orv_users_" + std::to_string(::getpid());
    std::ofstream(users_) << "# test accounts\n" << HashedEntry("alice", "wonder land") << "\n";
    server_ = std::make_unique<RdbServerProcess>(ORV_RDBSERVER_PATH,
                                                 std::vector<std::string>{"--users", users_});
    ASSERT_TRUE(server_->ok()) << server_->error();
  }
  static void TearDownTestSuite() {
    EXPECT_EQ(server_->Stop(), 0);
    server_.reset();
    std::remove(users_.c_str());
  }

  // Opens "select 42" through the components as an NT-style client.
  std::string OpenAs(const std::string& user, const std::string& password) {
    orv::testing::MessageLog log;
    TOrvRDB rdb(nullptr);
    rdb.SetAddress("127.0.0.1");
    rdb.SetPort(server_->port());
    rdb.SetServerType(svNTServer);
    rdb.SetDBUserId(user);
    rdb.SetDBPassword(password);
    TOrvQuery q(nullptr);
    q.SetDatabase(&rdb);
    q.SQL()->SetText("select 42 as n");
    q.Open();
    return q.Active() ? q.FieldByName("n")->AsString() : log.Texts();
  }

  static inline std::string users_;
  static inline std::unique_ptr<RdbServerProcess> server_;
};

TEST_F(ServerLoginTest, OnlyListedAccountsAreServed) {
  EXPECT_EQ(OpenAs("alice", "wonder land"), "42");
  EXPECT_EQ(OpenAs("alice", "wonder"),
            "log-in refused for user 'alice': unknown user or wrong password");
  EXPECT_EQ(OpenAs("mallory", "wonder land"),
            "log-in refused for user 'mallory': unknown user or wrong password");

  // A UNIX-style client sends no log-in: refused, and the connection closed.
  FrameClient c;
  ASSERT_TRUE(c.Connect(server_->port()));
  auto line = c.Request("OPEN", "select 1");
  ASSERT_TRUE(line.has_value());
  EXPECT_EQ(line->text, "log-in required: this server admits only clients that log in");
  EXPECT_TRUE(c.WaitClosed());
  // A refused log-in is answered by the next request, then the connection ends.
  ASSERT_TRUE(c.Connect(server_->port()));
  ASSERT_TRUE(c.SendMessage("CONNECT;alice;guess;db;\n"));
  EXPECT_LT(c.Request("TRAN", "")->code, 0);
  EXPECT_TRUE(c.WaitClosed());
}

TEST(ServerUsersFileTest, AMalformedFileStopsTheStart) {
  const std::string path = ::testing::TempDir() + "orv_bad_users_" + std::to_string(::getpid());
  std::ofstream(path) << "alice:plain:secret\n";
  RdbServerProcess server(ORV_RDBSERVER_PATH, {"--users", path}, "", 3000);
  EXPECT_FALSE(server.ok());
  std::remove(path.c_str());
}

class ServerFilesTest : public ServerTest {};

TEST_F(ServerFilesTest, StatementsCannotReachOtherFiles) {
  auto line = Run("EXEC", "attach '" + server_->db_path() + ".other' as o");
  EXPECT_LT(line.code, 0);
  EXPECT_EQ(line.text.rfind("ATTACH is not allowed", 0), 0u) << line.text;
  EXPECT_LT(Run("OPEN", "select load_extension('x')").code, 0);
  EXPECT_EQ(Value("select 'still serving'"), "still serving");
}

TEST(ServerSlowReaderTest, AClientThatStopsReadingIsDropped) {
  RdbServerProcess server(ORV_RDBSERVER_PATH, {"--request-timeout", "1"});
  ASSERT_TRUE(server.ok()) << server.error();
  FrameClient c;
  ASSERT_TRUE(c.Connect(server.port()));
  // About 40 MB of reply, far more than the socket buffers hold.
  ASSERT_TRUE(c.SendMessage(
      "OPEN;;;0;\nwith recursive n(i) as (select 1 union all select i + 1 from n "
      "where i < 40000) select i, printf('%.1000c', 'x') from n"));
  // Nothing observable tells when the server gives up without reading, which
  // would let it go on; a generous pause past the one-second limit does.
  ::sleep(4);
  // The server gave up on the reply: what arrived ends well short of it.
  std::size_t received = 0;
  while (auto frame = c.ReadFrame(2000)) received += frame->size();
  EXPECT_LT(received, 20u << 20);
  FrameClient d;
  ASSERT_TRUE(d.Connect(server.port()));
  EXPECT_EQ(d.Open("select 5")->rows.at(0).at(0), "5");
  EXPECT_EQ(server.Stop(), 0);
}

}  // namespace
}  // namespace orv::test
