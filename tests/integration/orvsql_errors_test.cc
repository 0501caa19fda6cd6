// orvsql's failures: the server's own text on standard error, the exit
// codes, and replies that break off or make no sense.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <memory>

#include "integration/orvsql_process.h"
#include "support/rdbserver_process.h"
#include "support/scripted_peer.h"

namespace orv::test {
namespace {

// A loopback port nobody listens on.
int ClosedPort() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  ::bind(fd, reinterpret_cast<sockaddr*>(&addr), len);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  ::close(fd);
  return ntohs(addr.sin_port);
}

TEST(OrvsqlErrors, UsageErrorsExitTwoBeforeAnythingRuns) {
  RdbServerProcess server(ORV_RDBSERVER_PATH);
  ASSERT_TRUE(server.ok()) << server.error();
  const std::string port = std::to_string(server.port());
  const std::vector<std::vector<std::string>> cases = {
      {"--port", port, "--bogus"},
      {"--port", port, "--page", "0:1", "-c", "select 1"},
      {"--port", port, "--param", "n:integer=ten", "-c", "select :n"},
      // No statement has :missing, so none of them may run.
      {"--port", port, "--param", "missing=1", "-c", "create table u (a integer)"},
      {"--port", port, "-f", "/nonexistent/script.sql"}};
  for (const auto& args : cases) {
    OrvsqlResult r = RunOrvsql(args);
    EXPECT_EQ(r.status, 2) << args[2];
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("orvsql: ", 0), 0u) << r.err;
  }
  OrvsqlResult r = RunOrvsql({"--port", port, "--csv", "-c", "select count(*) as c from u"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("no such table: u"), std::string::npos) << r.err;

  r = RunOrvsql({"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("--param NAME:TYPE=VALUE"), std::string::npos);
}

TEST(OrvsqlErrors, AFailedStatementStopsTheRunWithTheServersText) {
  RdbServerProcess server(ORV_RDBSERVER_PATH);
  ASSERT_TRUE(server.ok()) << server.error();
  const std::string port = std::to_string(server.port());
  ASSERT_EQ(RunOrvsql({"--port", port, "-c", "create table t (a integer)"}).status, 0);

  OrvsqlResult r = RunOrvsql({"--port", port, "--csv", "-c", "insert into t values (1)", "-c",
                              "select * from nosuch", "-c", "insert into t values (2)"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "orvsql: no such table: nosuch\n");
  r = RunOrvsql({"--port", port, "--csv", "-c", "update t set b = 1"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "orvsql: no such column: b\n");
  r = RunOrvsql({"--port", port, "--csv", "-c", "select a from t"});
  EXPECT_EQ(r.out, "a\n1\n");  // the statement after the failure never ran

  // At the prompt a failure is reported and the session goes on.
  r = RunOrvsql({"--port", port, "--csv"}, "select * from nosuch;\nselect a from t;\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "a\n1\n");
  EXPECT_EQ(r.err, "orvsql: no such table: nosuch\n");

  // A commit without a transaction is the connection's own error.
  r = RunOrvsql({"--port", port, "-c", "commit"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.rfind("orvsql: ", 0), 0u);
}

TEST(OrvsqlErrors, AnUnreachableServerExitsThree) {
  OrvsqlResult r = RunOrvsql({"--port", std::to_string(ClosedPort()), "-c", "select 1"});
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err.rfind("orvsql: ", 0), 0u) << r.err;
  r = RunOrvsql({"--host", "no-such-host.invalid", "-c", "select 1"});
  EXPECT_EQ(r.status, 3);
}

TEST(OrvsqlErrors, RepliesThatBreakOffOrMakeNoSenseFailTheStatement) {
  using orv::testing::PeerScript;
  using orv::testing::ScriptedPeer;
  struct Case {
    const char* what;
    PeerScript script;
  };
  std::vector<Case> cases;
  // Rows arrive, then the connection ends before the end marker.
  cases.push_back({"cut off", PeerScript()
                                  .ReadFrames(1)
                                  .WriteFrame("1;OK")
                                  .WriteFrame("8;x;11;0;1;7;1;8;")
                                  .Close()});
  cases.push_back({"garbage result line", PeerScript().ReadFrames(1).WriteFrame("what?").Close()});
  cases.push_back({"silence", PeerScript().ReadFrames(1).Close()});
  for (Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedPeer peer;
    peer.Add(PeerScript());  // the reachability check
    peer.Add(std::move(c.script));
    OrvsqlResult r = RunOrvsql(
        {"--port", std::to_string(peer.Port()), "--timeout", "200", "--csv", "-c", "select x"},
        "", 20000);
    EXPECT_EQ(r.status, 1) << c.what << ": " << r.err;
    EXPECT_EQ(r.err.rfind("orvsql: ", 0), 0u) << c.what << ": " << r.err;
  }
}

TEST(OrvsqlErrors, AStatementTimeOutEndsARunThatASilentServerHolds) {
  using orv::testing::PeerScript;
  using orv::testing::ScriptedPeer;
  ScriptedPeer peer;
  peer.Add(PeerScript());  // the reachability check
  peer.Add(PeerScript().ReadFrames(1));  // reads the request, answers nothing
  const auto start = std::chrono::steady_clock::now();
  OrvsqlResult r = RunOrvsql({"--port", std::to_string(peer.Port()), "--timeout", "2000",
                              "--statement-timeout", "0.3", "--csv", "-c", "select 1"});
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "orvsql: the statement did not finish within 0.3 seconds\n");
  EXPECT_TRUE(peer.WaitEnded(1));  // its connection went with it
}

// Replies a hostile server sent to "select 1", byte for byte: each one is
// reported on standard error with status 1, and standard output holds no
// more than what the reply really delivered.
TEST(OrvsqlErrors, PartialRepliesNeverPassForComplete) {
  using orv::testing::PeerScript;
  using orv::testing::ScriptedPeer;
  const std::string long_value(100000, 'v');
  std::string long_reply = "00041;OK" + std::string("0009") + "0;a;20;0;";
  const std::string value_text = std::to_string(long_value.size()) + ";" + long_value + ";EOF;";
  for (size_t at = 0; at < value_text.size(); at += 9999) {
    const std::string piece = value_text.substr(at, 9999);
    long_reply += orv::testing::FrameHeader(piece.size()) + piece;
  }
  struct Case {
    const char* what;
    std::string bytes;
    std::string out;
    const char* err;
  };
  const std::vector<Case> cases = {
      {"two of three columns described", "00043;OK001812;d;17;0;5;e;4;0;", "",
       "Connection closed by server"},
      {"two of three columns, then the end marker", "00043;OK001812;d;17;0;5;e;4;0;0004EOF;", "",
       "type of column(3) is not valid!"},
      {"an empty frame inside the descriptions",
       "00043;OK00208;a;11;0;18;b;20;0;10000"
       "00670;c;24;0;1;1;3;one;3;1.5;1;2;5;two;x;0;;1;3;9;th\"ree, 4;4;3.25;EOF;",
       "", "The result is incomplete"},
      {"a header of -001 inside the descriptions",
       "00043;OK00208;a;11;0;18;b;20;0;1-001"
       "00670;c;24;0;1;1;3;one;3;1.5;1;2;5;two;x;0;;1;3;9;th\"ree, 4;4;3.25;EOF;",
       "", "four decimal digits"},
      {"an end marker inside the first row", "00042;OK002818;a;20;0;18;b;20;0;1;x;EOF;", "a,b\n",
       "The result is incomplete: the end marker came inside row 1"},
      {"a value longer than its column", long_reply, "a\n", "100000 bytes long"},
      {"a value in a column declared 0 wide", "00041;OK00170;a;0;0;3;abc;EOF;", "a\n",
       "3 bytes long"},
      {"no column description at all", "00041;OK", "", "Connection closed by server"},
      {"a header with a sign", "+0871;OK", "", "four decimal digits"},
      {"a header in hex", "0x571;OK", "", "four decimal digits"},
      {"a value length with a leading blank", "00041;OK00120;a;5;0; 1;x;", "a\n",
       "not valid"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedPeer peer;
    peer.Add(PeerScript());  // the reachability check
    peer.Add(PeerScript().ReadFrames(1).Write(c.bytes).Close());
    OrvsqlResult r = RunOrvsql(
        {"--port", std::to_string(peer.Port()), "--timeout", "2000", "--csv", "-c", "select 1"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out, c.out);
    EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
  }
}

}  // namespace
}  // namespace orv::test
