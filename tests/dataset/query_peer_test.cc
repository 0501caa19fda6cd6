// TOrvQuery against a scripted server: the exact bytes of each request, the
// replies it reads, and its failures.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "dataset/message_log.h"
#include "dataset/orv_query.h"
#include "host/datasource.h"
#include "rdb/orv_rdb.h"
#include "tests/support/scripted_peer.h"

namespace orv {
namespace {

using testing::Column;
using testing::FrameHeader;
using testing::MessageLog;
using testing::PeerScript;
using testing::ScriptedPeer;
using testing::Value;

std::string Frame(const std::string& payload) { return FrameHeader(payload.size()) + payload; }
const std::string kClose = Frame("CLOSE;;;0;\n");

// Replies to one open: the result line, then `reply` in one frame, then
// waits for the closing command.
PeerScript OpenReply(int request_frames, const std::string& reply, int cols = 2) {
  return PeerScript()
      .ReadFrames(request_frames)
      .WriteFrame(std::to_string(cols) + ";OK")
      .WriteFrame(reply)
      .ReadFrames(1);
}

class QueryPeerTest : public ::testing::Test {
 protected:
  QueryPeerTest() {
    rdb_.SetAddress("127.0.0.1");
    rdb_.SetPort(peer_.Port());
    query_.SetDatabase(&rdb_);
  }
  ScriptedPeer peer_;
  MessageLog log_;
  TOrvRDB rdb_{nullptr};
  TOrvQuery query_{nullptr};
};

TEST_F(QueryPeerTest, OpenSendsTheStatementAndParameterBlockAndBrowses) {
  peer_.Add(OpenReply(2, Column(8, "N", 11) + Column(18, "S", 10) + Value("-12") + Value("ab") +
                             Value("") + Value("") + Value("7") + Value("cd") + "EOF;"));
  query_.SQL()->Add("select * from T where A = :A");
  query_.ParamByName("A")->SetAsString("xy");
  query_.Open();
  ASSERT_TRUE(query_.Active()) << log_.Texts();
  ASSERT_TRUE(peer_.WaitEnded(0));
  EXPECT_EQ(peer_.Received(0), Frame("OPEN;;;1;\nselect * from T where A = :A\r\n") +
                                   Frame("I;:A;0;2;xy;") + kClose);

  ASSERT_EQ(query_.FieldCount(), 2);
  EXPECT_EQ(query_.Fields()->GetField(0)->DataType(), ftInteger);
  EXPECT_EQ(query_.FieldByName("S")->Size(), 11);
  EXPECT_EQ(query_.FieldByName("N")->AsInteger(), -12);
  EXPECT_EQ(query_.FieldByName("S")->AsString(), "ab");
  TBookmark first = query_.GetBookmark();
  query_.Next();
  EXPECT_TRUE(query_.FieldByName("N")->IsNull());
  EXPECT_EQ(query_.FieldByName("S")->AsString(), "");
  query_.Next();
  EXPECT_EQ(query_.FieldByName("S")->AsString(), "cd");
  query_.Next();
  EXPECT_TRUE(query_.Eof());
  EXPECT_EQ(query_.RecordCount(), 3);
  query_.Prior();
  EXPECT_TRUE(query_.FieldByName("N")->IsNull());
  query_.Prior();
  EXPECT_EQ(query_.FieldByName("S")->AsString(), "ab");
  query_.Prior();
  EXPECT_TRUE(query_.Bof());
  query_.GotoBookmark(first);
  EXPECT_EQ(query_.FieldByName("N")->AsInteger(), -12);
  TBookmark second = query_.GetBookmark();
  EXPECT_EQ(query_.CompareBookmarks(first, second), 0);
  query_.Last();
  TBookmark last = query_.GetBookmark();
  EXPECT_EQ(query_.CompareBookmarks(first, last), 1);
  EXPECT_EQ(query_.CompareBookmarks(last, first), 1);
  EXPECT_EQ(query_.CompareBookmarks(nullptr, nullptr), 0);
  EXPECT_TRUE(query_.BookmarkValid(last));
  query_.FreeBookmark(first);
  query_.FreeBookmark(second);
  query_.FreeBookmark(last);
  query_.Close();
  EXPECT_FALSE(query_.Active());
  EXPECT_EQ(log_.Count(), 0u) << log_.Texts();
}

TEST_F(QueryPeerTest, EverySlotKeepsItsTerminator) {
  // Every value holds exactly its declared length (one more would fail the
  // read rather than be cut).
  peer_.Add(OpenReply(1, Column(18, "S", 4) + Column(18, "T", 2) + Column(8, "N", 3) +
                             Value("abcd") + Value("xy") + Value("-12") + "EOF;", 3));
  query_.SQL()->Add("select * from T");
  query_.Open();
  ASSERT_TRUE(query_.Active()) << log_.Texts();
  EXPECT_EQ(query_.FieldByName("S")->AsString(), "abcd");
  EXPECT_EQ(query_.FieldByName("N")->AsInteger(), -12);
  std::string record(static_cast<size_t>(query_.ResultStream()->RowWidth()), 'x');
  ASSERT_TRUE(query_.GetCurrentRecord(record.data()));
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(record[query_.GetFieldOffset(i) + query_.GetFieldLen(i) - 1], '\0') << i;
}

TEST_F(QueryPeerTest, AFilterRemovesEveryRowItRejectsTheFirstIncluded) {
  peer_.Add(OpenReply(1, Column(8, "N", 11) + Value("1") + Value("2") + Value("3") + "EOF;", 1));
  query_.SQL()->Add("select N from T");
  query_.SetOnFilterRecord(
      [](TDataSet* data, bool& accept) { accept = data->FieldByName("N")->AsInteger() != 1; });
  query_.SetFiltered(true);
  query_.Open();
  ASSERT_TRUE(query_.Active()) << log_.Texts();
  EXPECT_EQ(query_.RecordCount(), 2);
  EXPECT_EQ(query_.FieldByName("N")->AsInteger(), 2);
}

TEST_F(QueryPeerTest, LocateSearchesTheRowsReceivedSoFarWithoutWaiting) {
  // The server holds the rest of the result back until released.
  peer_.Add(PeerScript()
                .ReadFrames(1)
                .WriteFrame("1;OK")
                .WriteFrame(Column(18, "S", 4) + Value("a") + Value("b"))
                .Hold()
                .WriteFrame(Value("c") + "EOF;")
                .ReadFrames(1));
  query_.SQL()->Add("select S from T");
  query_.Open();
  ASSERT_TRUE(query_.Active()) << log_.Texts();
  query_.Next();
  ASSERT_EQ(query_.FieldByName("S")->AsString(), "b");
  EXPECT_FALSE(query_.Locate("S", VarArrayOf({"c"}), loNone));
  EXPECT_EQ(query_.ResultStream()->RowCount(), 2);
  EXPECT_NE(query_.ResultState(), kResultComplete);
  peer_.Release();
  EXPECT_EQ(query_.RecordCount(), 3);  // waits for the whole result
  EXPECT_TRUE(query_.Locate("S", VarArrayOf({"c"}), loNone));
  EXPECT_EQ(query_.FieldByName("S")->AsString(), "c");
}

TEST_F(QueryPeerTest, PagedOpenExecAndRowsAffected) {
  peer_.Add(OpenReply(1, Column(8, "N", 11) + Value("1") + "EOF;", 1));
  peer_.Add(PeerScript().ReadFrames(1).WriteFrame("3;OK").ReadFrames(1));
  peer_.Add(OpenReply(1, Column(8, "N", 11) + "EOF;", 1));
  query_.SQL()->Add("select N from T");
  query_.OpenPart(101, 50);
  ASSERT_TRUE(query_.Active()) << log_.Texts();
  query_.Close();
  query_.SQL()->SetText("update T set N = 1");
  query_.ExecSQL();
  EXPECT_FALSE(query_.Active());
  EXPECT_EQ(query_.RowsAffected(), 3);
  query_.SQL()->SetText("select N from T");
  query_.Open();
  EXPECT_TRUE(query_.Active());
  EXPECT_TRUE(query_.Eof());
  query_.Close();
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(peer_.WaitEnded(i));
  EXPECT_EQ(peer_.Received(0), Frame("OPENPART;101;50;0;\nselect N from T\r\n") + kClose);
  EXPECT_EQ(peer_.Received(1), Frame("EXEC;;;0;\nupdate T set N = 1\r\n") + kClose);
  EXPECT_EQ(peer_.Received(2), Frame("OPEN;;;0;\nselect N from T\r\n") + kClose);
  EXPECT_EQ(log_.Count(), 0u) << log_.Texts();
}

// SetQueryPart only records the part: SetActive(true) fetches it, Open()
// resets the mode and fetches the whole result.
TEST_F(QueryPeerTest, AQueryPartIsFetchedBySetActiveNotByOpen) {
  for (int i = 0; i < 2; ++i) peer_.Add(OpenReply(1, Column(8, "N", 11) + "EOF;", 1));
  query_.SQL()->Add("select N from T");
  query_.SetQueryPart(11, 5);
  query_.SetActive(true);
  query_.Close();
  query_.SetQueryPart(11, 5);
  query_.Open();
  query_.Close();
  for (int i = 0; i < 2; ++i) ASSERT_TRUE(peer_.WaitEnded(i));
  EXPECT_EQ(peer_.Received(0), Frame("OPENPART;11;5;0;\nselect N from T\r\n") + kClose);
  EXPECT_EQ(peer_.Received(1), Frame("OPEN;;;0;\nselect N from T\r\n") + kClose);
}

TEST_F(QueryPeerTest, OpeningWhileLoadingWaitsForLoadedAndRunsOnce) {
  peer_.Add(OpenReply(1, Column(8, "N", 11) + Value("1") + "EOF;", 1));
  query_.SQL()->Add("select N from T");
  query_.BeginLoading();
  query_.SetActive(true);  // the connection is already set
  EXPECT_FALSE(query_.Active());
  EXPECT_EQ(peer_.Accepted(), 0);
  query_.EndLoading();
  ASSERT_TRUE(query_.Active()) << log_.Texts();
  query_.Last();
  query_.Close();
  ASSERT_TRUE(peer_.WaitEnded(0));
  EXPECT_EQ(peer_.Accepted(), 1);
  EXPECT_EQ(peer_.Received(0), Frame("OPEN;;;0;\nselect N from T\r\n") + kClose);
}

TEST_F(QueryPeerTest, FailedRequestsGoToTheErrorBoxAndLeaveTheQueryClosed) {
  peer_.Add(PeerScript().ReadFrames(1).WriteFrame("-1;no such table: X").ReadFrames(1));
  peer_.Add(PeerScript().ReadFrames(1).WriteFrame("garbage").ReadFrames(1));
  query_.SQL()->Add("select * from X");
  query_.Open();
  EXPECT_FALSE(query_.Active());
  query_.Open();
  EXPECT_FALSE(query_.Active());
  ASSERT_TRUE(peer_.WaitEnded(0));
  ASSERT_TRUE(peer_.WaitEnded(1));
  EXPECT_EQ(peer_.Received(0), Frame("OPEN;;;0;\nselect * from X\r\n") + kClose);
  auto boxes = log_.Boxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, "no such table: X");
  EXPECT_EQ(boxes[0].caption, "Error");
  EXPECT_EQ(boxes[0].flags, unsigned{MB_ICONERROR | MB_TASKMODAL});
  EXPECT_EQ(boxes[1].text, "Server Error: Result format is not correct");

  // No server at all: neither an open nor an execute passes for done.
  TOrvRDB nowhere(nullptr);
  nowhere.SetAddress("127.0.0.1");
  nowhere.SetPort(1);
  query_.SetDatabase(&nowhere);
  query_.ExecSQL();
  EXPECT_EQ(query_.RowsAffected(), -1);
  query_.Open();
  EXPECT_FALSE(query_.Active());
  EXPECT_EQ(log_.Count(), 4u);
  query_.SetDatabase(nullptr);
  query_.Open();
  EXPECT_EQ(log_.Count(), 5u);
}

TEST_F(QueryPeerTest, LongStatementsTravelInFramesAndNeverEndOnAFullOne) {
  const std::string head = "OPEN;;;0;\n";
  // 10,000 characters: three frames. Exactly 4092 bytes with the line end:
  // a blank follows, in a frame of its own.
  const std::string long_text = "select N from T where N = 1" + std::string(9973, ' ');
  const std::string exact = "select N from T" + std::string(4092 - head.size() - 15 - 2, ' ');
  peer_.Add(OpenReply(3, Column(8, "N", 11) + Value("1") + "EOF;", 1));
  peer_.Add(OpenReply(2, Column(8, "N", 11) + Value("2") + "EOF;", 1));
  for (const std::string& text : {long_text, exact}) {
    query_.SQL()->SetText(text);
    query_.Open();
    ASSERT_TRUE(query_.Active()) << log_.Texts();
    query_.Close();
  }
  ASSERT_TRUE(peer_.WaitEnded(1));
  auto frames = peer_.ReceivedFrames(0);
  ASSERT_EQ(frames.size(), 4u);
  EXPECT_EQ(frames[0] + frames[1] + frames[2], head + long_text + "\r\n");
  frames = peer_.ReceivedFrames(1);
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(frames[0].size(), 4092u);
  EXPECT_EQ(frames[1], " ");
}

TEST_F(QueryPeerTest, AReaderThatFailsLeavesAVisiblyIncompleteResult) {
  peer_.Add(PeerScript()
                .ReadFrames(1)
                .WriteFrame("1;OK")
                .WriteFrame(Column(8, "N", 11) + Value("1") + Value("2"))
                .Pause(100)
                .Close());
  query_.SQL()->Add("select N from T");
  query_.Open();
  ASSERT_TRUE(query_.Active()) << log_.Texts();
  EXPECT_EQ(query_.FieldByName("N")->AsInteger(), 1);
  query_.Next();
  EXPECT_EQ(query_.FieldByName("N")->AsInteger(), 2);
  EXPECT_THROW(query_.Next(), EOrvDataSetException);
  EXPECT_TRUE(query_.ResultIncomplete());
  EXPECT_THROW(query_.RecordCount(), EOrvDataSetException);
  // A window wider than the rows received fills without complaint; only a
  // move past the last received row raises.
  TDataSource source(nullptr);
  source.SetDataSet(&query_);
  TDataLink link;
  link.SetBufferCount(10);
  link.SetDataSource(&source);
  query_.First();
  query_.Refresh();
  EXPECT_EQ(link.RecordCount(), 2);
  query_.Next();
  EXPECT_EQ(query_.FieldByName("N")->AsInteger(), 2);
  EXPECT_THROW(query_.Next(), EOrvDataSetException);
  EXPECT_EQ(log_.Count(), 1u);
  query_.Close();
}

TEST_F(QueryPeerTest, CloseDuringASilentFetchReturnsPromptly) {
  peer_.Add(PeerScript()
                .ReadFrames(1)
                .WriteFrame("1;OK")
                .WriteFrame(Column(8, "N", 11) + Value("1"))
                .Pause(700));
  query_.SQL()->Add("select N from T");
  query_.Open();
  ASSERT_TRUE(query_.Active());
  EXPECT_EQ(query_.FieldByName("N")->AsInteger(), 1);
  auto start = std::chrono::steady_clock::now();
  query_.Close();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(400));
  EXPECT_FALSE(query_.ResultIncomplete());
  EXPECT_EQ(log_.Count(), 0u) << log_.Texts();
}

TEST_F(QueryPeerTest, ABrokenReplyInATransactionDropsItsConnection) {
  peer_.Add(PeerScript()
                .ReadFrames(1)
                .WriteFrame("0;OK")
                .ReadFrames(1)
                .WriteFrame("1;OK")
                .WriteFrame(Column(8, "N", 11) + "x;1;")
                .ReadFrames(1));
  rdb_.StartTransaction();
  query_.SQL()->Add("select N from T");
  query_.Open();
  ASSERT_TRUE(peer_.WaitEnded(0));
  EXPECT_TRUE(query_.ResultIncomplete());
  EXPECT_FALSE(rdb_.Active());
  query_.Close();
  // The next request has no transaction connection to run on.
  query_.Open();
  EXPECT_FALSE(query_.Active());
  EXPECT_EQ(peer_.Accepted(), 1);
  auto boxes = log_.Boxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[1].text, "Cannot connect to the RDB server");
  EXPECT_THROW(rdb_.Rollback(), Exception);
}

TEST(QueryLifetime, TheConnectionMayGoFirstWhileRowsArrive) {
  ScriptedPeer peer;
  MessageLog log;
  peer.Add(PeerScript()
               .ReadFrames(1)
               .WriteFrame("1;OK")
               .WriteFrame(Column(8, "N", 11) + Value("1"))
               .Pause(300));
  TComponent owner(nullptr);
  auto* query = new TOrvQuery(&owner);
  {
    auto rdb = std::make_unique<TOrvRDB>(nullptr);
    rdb->SetAddress("127.0.0.1");
    rdb->SetPort(peer.Port());
    query->SetDatabase(rdb.get());
    query->SQL()->Add("select N from T");
    query->Open();
    ASSERT_TRUE(query->Active());
  }
  EXPECT_FALSE(query->Active());
  EXPECT_EQ(query->Database(), nullptr);
  // Owned the other way round: the owner frees the connection after the query.
  auto* rdb = new TOrvRDB(&owner);
  query->SetDatabase(rdb);
  EXPECT_EQ(log.Count(), 0u) << log.Texts();
}

// A query being deleted closes without its close events: the handlers may
// refer to what the owner has already destroyed.
TEST(QueryLifetime, DeletingAnActiveQueryFiresNoCloseEvents) {
  ScriptedPeer peer;
  MessageLog log;
  for (int i = 0; i < 2; ++i) peer.Add(OpenReply(1, Column(8, "N", 11) + Value("1") + "EOF;", 1));
  TOrvRDB rdb(nullptr);
  rdb.SetAddress("127.0.0.1");
  rdb.SetPort(peer.Port());
  auto query = std::make_unique<TOrvQuery>(nullptr);
  int events = 0;
  query->BeforeClose = query->AfterClose = [&](TDataSet*) { ++events; };
  query->SetDatabase(&rdb);
  query->SQL()->Add("select N from T");
  query->Open();
  query->Close();
  EXPECT_EQ(events, 2);
  query->Open();
  ASSERT_TRUE(query->Active()) << log.Texts();
  query.reset();
  EXPECT_EQ(events, 2);
}

}  // namespace
}  // namespace orv
