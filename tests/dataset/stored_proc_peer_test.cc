// TOrvStoredProc against a scripted server: the parameter list (PARAM) cut
// over frames in every way, the call texts and parameter blocks of each
// server and database form, returned parameters, PROCOPEN's reply order,
// replies that break off, and requests inside a user transaction.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dataset/message_log.h"
#include "dataset/orv_stored_proc.h"
#include "rdb/orv_rdb.h"
#include "tests/support/scripted_peer.h"

namespace orv {
namespace {

using testing::Column;
using testing::FrameHeader;
using testing::MessageLog;
using testing::PeerScript;
using testing::ScriptedPeer;
using testing::SplitFrames;
using testing::Value;

std::string Frame(const std::string& payload) { return FrameHeader(payload.size()) + payload; }
const std::string kClose = Frame("CLOSE;;;0;\n");

// Answers one request of `request_frames` frames with a result line and
// `frames`, then waits for the close.
PeerScript Reply(int request_frames, const std::string& line,
                 const std::vector<std::string>& frames) {
  PeerScript script = PeerScript().ReadFrames(request_frames).WriteFrame(line);
  for (const std::string& frame : frames) script.WriteFrame(frame);
  return script.ReadFrames(1);
}

class StoredProcPeerTest : public ::testing::Test {
 protected:
  StoredProcPeerTest() {
    rdb_.SetAddress("127.0.0.1");
    rdb_.SetPort(peer_.Port());
  }
  // Names the procedure and gives it parameters without asking the server.
  void Declare(const std::string& name,
               const std::vector<std::tuple<std::string, TFieldType, TParamType>>& params) {
    proc_.SetProcName(name);
    for (const auto& [pname, type, direction] : params)
      proc_.Params()->CreateParam(type, pname, direction);
    proc_.SetDatabase(&rdb_);
  }
  // The frames connection `index` received, its close left out.
  std::vector<std::string> Request(int index) {
    EXPECT_TRUE(peer_.WaitEnded(index));
    std::vector<std::string> frames = SplitFrames(peer_.Received(index));
    if (!frames.empty() && frames.back() == "CLOSE;;;0;\n") frames.pop_back();
    return frames;
  }

  ScriptedPeer peer_;
  MessageLog log_;
  TOrvRDB rdb_{nullptr};
  TOrvStoredProc proc_{nullptr};
};

TEST_F(StoredProcPeerTest, TheParameterListIsReadHoweverItIsCutIntoFrames) {
  const std::string reply = "1;A;0;x;8;B;1;y;";
  std::vector<std::vector<std::string>> splits;
  for (size_t cut = 1; cut < reply.size(); ++cut)
    splits.push_back({reply.substr(0, cut), reply.substr(cut)});
  std::vector<std::string> bytes;
  for (char c : reply) bytes.emplace_back(1, c);
  splits.push_back(bytes);
  for (const auto& frames : splits) peer_.Add(Reply(1, "2;OK", frames));

  proc_.SetDatabase(&rdb_);
  for (size_t i = 0; i < splits.size(); ++i) {
    proc_.SetProcName("P" + std::to_string(i));
    ASSERT_EQ(proc_.Params()->Count(), 2) << i << " " << log_.Texts();
    EXPECT_EQ(proc_.Params()->Items(0)->Name(), "A");
    EXPECT_EQ(proc_.Params()->Items(0)->DataType(), ftBytes);
    EXPECT_EQ(proc_.Params()->Items(0)->ParamType(), ptInput);
    EXPECT_EQ(proc_.Params()->Items(1)->Name(), "B");
    EXPECT_EQ(proc_.Params()->Items(1)->DataType(), ftInteger);
    EXPECT_EQ(proc_.Params()->Items(1)->ParamType(), ptOutput);
  }
  EXPECT_EQ(peer_.Received(0), Frame("PARAM;;;0;\nP0") + kClose);
  // The same name again asks for nothing.
  proc_.SetProcName(proc_.StoredProcName());
  EXPECT_EQ(peer_.Accepted(), static_cast<int>(splits.size()));
}

TEST_F(StoredProcPeerTest, ABrokenParameterListRaisesAndLeavesNoParameters) {
  peer_.Add(PeerScript().ReadFrames(1).WriteFrame("2;OK").WriteFrame("1;A;0;x;8;B").Close());
  peer_.Add(Reply(1, "1;OK", {"1;A;up;x;"}));
  proc_.SetDatabase(&rdb_);
  EXPECT_THROW(proc_.SetProcName("P"), Exception);
  EXPECT_EQ(proc_.Params()->Count(), 0);
  EXPECT_THROW(proc_.SetProcName("Q"), EOrvDataSetException);
  EXPECT_EQ(proc_.Params()->Count(), 0);
}

TEST_F(StoredProcPeerTest, ExecProcSendsTheBlockAndReadsOutputsBackWithoutStaleValues) {
  peer_.Add(Reply(2, "2;OK", {"10;:B;1;;18;:C;2;;3;2.5;2;yz;"}));
  peer_.Add(Reply(2, "2;OK", {"10;:B;1;;18;:C;2;;3;7.5;EOF;"}));
  Declare("P", {{"A", ftInteger, ptInput}, {"B", ftFloat, ptOutput}, {"C", ftString, ptInputOutput}});
  proc_.ParamByName("A")->SetAsInteger(5);
  proc_.ParamByName("C")->SetAsString("x");
  proc_.ExecProc();
  EXPECT_FALSE(proc_.Active());
  EXPECT_EQ(Request(0), (std::vector<std::string>{"PROCEXEC;;;3;\nBEGIN P(:A,:B,:C); END;",
                                                  "I;:A;8;1;5;O;:B;10;0;;U;:C;0;1;x;"}));
  EXPECT_EQ(proc_.ParamByName("B")->AsFloat(), 2.5);
  EXPECT_EQ(proc_.ParamByName("C")->AsString(), "yz");

  // The server ends the values early: C got none this time.
  proc_.ExecProc();
  EXPECT_EQ(proc_.ParamByName("B")->AsFloat(), 7.5);
  EXPECT_TRUE(proc_.ParamByName("C")->IsNull());
  EXPECT_EQ(proc_.ParamByName("C")->DataType(), ftString);
  EXPECT_EQ(log_.Count(), 0u) << log_.Texts();
}

TEST_F(StoredProcPeerTest, CallTextsAndBlocksByServerAndDatabase) {
  struct Case {
    TServerType server;
    TDatabaseType database;
    std::vector<std::tuple<std::string, TFieldType, TParamType>> params;
    std::string line, returned;  // the reply
    std::vector<std::string> sent;
  };
  const std::vector<Case> cases = {
      {svUNIX, dtOracle, {{"R", ftInteger, ptResult}, {"X", ftInteger, ptInput}}, "1;OK",
       "8;:R;3;;1;6;", {"PROCEXEC;;;2;\nBEGIN :R := F(:X); END;", "O;:R;8;0;;I;:X;8;1;3;"}},
      {svUNIX, dtSybase, {{"R", ftInteger, ptResult}, {"X", ftInteger, ptInput}}, "1;OK",
       "8;R;3;;1;6;", {"PROCEXEC;;;1;\nF", "I;X;8;1;3;"}},
      {svNTServer, dtOracle, {{"R", ftInteger, ptResult}, {"X", ftInteger, ptInput}}, "1;OK",
       "8;R;3;;1;6;", {"CONNECT;;;;\n", "PROCEXEC;;;1;\nF", "I;X;8;1;3;"}},
      {svUNIX, dtOracle, {{"R", ftInteger, ptResult}}, "1;OK", "8;:R;3;;1;6;",
       {"PROCEXEC;;;1;\nBEGIN :R := F; END;", "O;:R;8;0;;"}},
      {svUNIX, dtOracle, {}, "0;OK", "EOF;", {"PROCEXEC;;;0;\nBEGIN F; END;"}},
  };
  for (const Case& c : cases)
    peer_.Add(Reply(static_cast<int>(c.sent.size()), c.line, {c.returned}));
  for (size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    TOrvStoredProc proc(nullptr);
    proc.SetProcName("F");
    for (const auto& [name, type, direction] : c.params)
      proc.Params()->CreateParam(type, name, direction);
    if (proc.Params()->FindParam("X")) proc.ParamByName("X")->SetAsInteger(3);
    rdb_.SetServerType(c.server);
    rdb_.SetDatabaseType(c.database);
    proc.SetDatabase(&rdb_);
    proc.ExecProc();
    EXPECT_EQ(Request(static_cast<int>(i)), c.sent) << i;
    if (proc.Params()->FindParam("R")) {
      EXPECT_EQ(proc.ParamByName("R")->AsInteger(), 6) << i;
    }
  }
  EXPECT_EQ(log_.Count(), 0u) << log_.Texts();
}

TEST_F(StoredProcPeerTest, OpenReadsTheRowsThenTheReturnedParameters) {
  peer_.Add(Reply(2, "2;OK",
                  {Column(8, "ID", 11) + Column(18, "NAME", 10) + Value("1") + Value("ann") +
                       Value("2") + Value("bob") + "EOF;",
                   "1;OK", "8;:N;1;;1;2;"}));
  Declare("rich", {{"N", ftInteger, ptOutput}, {"M", ftFloat, ptInput}});
  proc_.ParamByName("M")->SetAsFloat(1.5);
  proc_.Open();
  ASSERT_TRUE(proc_.Active()) << log_.Texts();
  EXPECT_EQ(Request(0), (std::vector<std::string>{"PROCOPEN;;;2;\nBEGIN rich(:N,:M); END;",
                                                  "O;:N;8;0;;I;:M;10;3;1.5;"}));
  EXPECT_EQ(proc_.RecordCount(), 2);
  proc_.Last();
  EXPECT_EQ(proc_.FieldByName("NAME")->AsString(), "bob");
  EXPECT_EQ(proc_.ParamByName("N")->AsInteger(), 2);
  proc_.SetActive(false);
  EXPECT_FALSE(proc_.Active());
  // SetActive(true) opens as Open does; ExecProc refuses while open.
  peer_.Add(Reply(2, "1;OK", {Column(8, "ID", 11) + "EOF;", "0;OK", "EOF;"}));
  proc_.SetActive(true);
  EXPECT_TRUE(proc_.Active()) << log_.Texts();
  proc_.ExecProc();
  EXPECT_EQ(peer_.Accepted(), 2);
}

TEST_F(StoredProcPeerTest, ReturnedParametersThatBreakOffFailTheCallAndChangeNothing) {
  const std::string described = "8;B;1;;8;C;1;;";
  const std::vector<PeerScript> replies = {
      PeerScript().ReadFrames(2).WriteFrame("2;OK").WriteFrame(described).Write("0000"),
      PeerScript().ReadFrames(2).WriteFrame("2;OK").WriteFrame(described + "1;5;").Close(),
      Reply(2, "2;OK", {described + "-1;;"}),
      PeerScript().ReadFrames(2).WriteFrame("2;OK").WriteFrame(described + "1;5;9;12;").Write("0000"),
      PeerScript().ReadFrames(2).WriteFrame("2;OK").Write("0000"),
  };
  for (const PeerScript& reply : replies) peer_.Add(reply);
  rdb_.SetDatabaseType(dtSybase);
  Declare("P", {{"B", ftInteger, ptOutput}, {"C", ftInteger, ptOutput}});
  for (size_t i = 0; i < replies.size(); ++i) {
    proc_.ParamByName("B")->SetAsInteger(1);
    proc_.ParamByName("C")->SetAsInteger(1);
    const size_t boxes = log_.Count();
    proc_.ExecProc();
    EXPECT_EQ(log_.Count(), boxes + 1) << i;
    EXPECT_EQ(proc_.ParamByName("B")->AsInteger(), 1) << i;
    EXPECT_EQ(proc_.ParamByName("C")->AsInteger(), 1) << i;
  }
  EXPECT_EQ(log_.Boxes()[0].caption, "Error");
  EXPECT_NE(log_.Boxes()[0].text.find("empty frame"), std::string::npos) << log_.Texts();
}

TEST_F(StoredProcPeerTest, SetParamsAddsTheCatalogueParametersAfterAResult) {
  peer_.Add(Reply(1, "2;OK",
                  {Column(18, "name", 30) + Column(8, "usertype", 11) + Value("who") + Value("8") +
                   Value("nm") + Value("18") + "EOF;"}));
  rdb_.SetDatabaseType(dtSybase);
  Declare("o'p", {{"kept", ftString, ptInput}});
  proc_.SetParams();
  EXPECT_EQ(Request(0), (std::vector<std::string>{
                            "OPEN;;;0;\nselect c.name, t.usertype from syscolumns c, systypes t "
                            "where c.usertype = t.usertype and c.id = object_id ('o''p') and "
                            "c.number = 1"}));
  const TParams& params = *proc_.Params();
  ASSERT_EQ(params.Count(), 4);
  EXPECT_EQ(params[1]->Name(), "Result");
  EXPECT_EQ(params[1]->ParamType(), ptResult);
  EXPECT_EQ(params[2]->Name(), "who");
  EXPECT_EQ(params[2]->DataType(), ftInteger);
  EXPECT_EQ(params[3]->DataType(), ftString);
}

TEST_F(StoredProcPeerTest, ParameterAndNameListsInsideATransactionKeepItsConnection) {
  peer_.Add(PeerScript()
                .ReadFrames(1).WriteFrame("0;OK")
                .ReadFrames(1).WriteFrame("1;OK").WriteFrame("8;A;0;;")
                .ReadFrames(1).WriteFrame("2;OK")
                .WriteFrame(Column(18, "O", 10) + Column(18, "N", 10) + Value("main") +
                            Value("T") + "EOF;")
                .ReadFrames(1).WriteFrame("0;OK")
                .ReadFrames(1));
  proc_.SetDatabase(&rdb_);
  rdb_.StartTransaction();
  proc_.SetProcName("P");
  EXPECT_EQ(proc_.Params()->Count(), 1);
  TStringList names;
  proc_.GetTableNames("T", &names);
  EXPECT_EQ(names.Text(), "main.T\r\n");
  EXPECT_TRUE(rdb_.Active());
  rdb_.Commit();
  EXPECT_EQ(Request(0).size(), 4u);
  EXPECT_EQ(peer_.Accepted(), 1);
}

}  // namespace
}  // namespace orv
