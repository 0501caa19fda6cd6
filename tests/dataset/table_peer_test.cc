// TOrvTable against a scripted server: the exact statements and parameter
// blocks of posted changes in every server and database form, and the
// failure path of a commit.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "dataset/message_log.h"
#include "dataset/orv_table.h"
#include "host/datetime.h"
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

// A table on a scripted peer of its own; one per test case.
class PeerTable {
 public:
  // Opens table T on the peer: a string A, a memo B and, on Oracle, the
  // ROWID; rows (ab, memo1, 7) and (ef, memo2, 8).
  void Open(TServerType server, TDatabaseType database) {
    const bool oracle = database == dtOracle;
    nt_ = server == svNTServer;
    std::string reply = Column(18, "A", 10) + Column(4, "B", 20);
    if (oracle) reply += Column(18, "ROWID", 20);
    for (auto [a, b, rowid] : {std::tuple{"ab", "memo1", "7"}, std::tuple{"ef", "memo2", "8"}}) {
      reply += Value(a) + Value(b);
      if (oracle) reply += Value(rowid);
    }
    PeerScript open = PeerScript().ReadFrames(nt_ ? 2 : 1);
    open.WriteFrame(std::to_string(oracle ? 3 : 2) + ";OK").WriteFrame(reply + "EOF;");
    if (!nt_) open.ReadFrames(1);
    peer_.Add(open);
    rdb_.SetAddress("127.0.0.1");
    rdb_.SetPort(peer_.Port());
    rdb_.SetServerType(server);
    rdb_.SetDatabaseType(database);
    table_.SetDatabase(&rdb_);
    table_.SetTableName("T");
    table_.Open();
    ASSERT_TRUE(table_.Active()) << log_.Texts();
    ASSERT_TRUE(peer_.WaitEnded(0) || nt_);
    EXPECT_EQ(SplitFrames(peer_.Received(0))[nt_ ? 1 : 0],
              oracle ? "OPEN;;;0;\nselect T.*, ROWID from T\r\n" : "OPEN;;;0;\nselect * from T\r\n");
  }

  // A commit connection that answers TRAN, then `replies` for the
  // statements (two frames each), then COMMIT or ROLLBACK.
  void AnswerBatch(const std::vector<std::string>& replies) {
    PeerScript s = PeerScript().ReadFrames(nt_ ? 2 : 1).WriteFrame("0;OK");
    for (const std::string& reply : replies) s.ReadFrames(2).WriteFrame(reply);
    s.ReadFrames(1).WriteFrame("0;OK");
    if (!nt_) s.ReadFrames(1);
    peer_.Add(s);
  }

  // What the commit connection received, with the log-in or close left out.
  std::string Batch() {
    EXPECT_TRUE(peer_.WaitEnded(1));
    std::string bytes = peer_.Received(1);
    if (nt_) return bytes.substr(bytes.find("TRAN") - 4);
    const std::string close = Frame("CLOSE;;;0;\n");
    EXPECT_EQ(bytes.substr(bytes.size() - close.size()), close);
    return bytes.substr(0, bytes.size() - close.size());
  }

  // One edit, one insert and one delete, committed together.
  void EditInsertDelete() {
    table_.SetCachedUpdates(true);
    table_.Edit();
    table_.FieldByName("A")->SetAsString("cd");
    table_.Post();
    table_.Append();
    table_.FieldByName("A")->SetAsString("xy");
    table_.FieldByName("B")->SetAsString("hello");
    table_.Post();
    table_.First();
    table_.Next();
    table_.Delete();
    table_.CommitUpdates();
  }

  ScriptedPeer peer_;
  MessageLog log_;
  TOrvRDB rdb_{nullptr};
  TOrvTable table_{nullptr};
  bool nt_ = false;
};

// Open asserts, so it runs inside a test body.
#define OPEN_OR_RETURN(t, server, database) \
  t.Open(server, database);                 \
  if (::testing::Test::HasFatalFailure()) return

TEST(TablePeerTest, StatementsAndBlocksInEveryForm) {
  struct Case {
    TServerType server;
    TDatabaseType database;
    std::string update, update_block, insert, insert_block, remove, remove_block;
  };
  const Case cases[] = {
      {svUNIX, dtOracle,
       "EXEC;;;4;\nUpdate T Set A = :A, B = :B   Where A = :A_1 and ROWID = :ROWID_3",
       "I;:A;0;2;cd;I;:B;4;5;memo1;I;:A_1;0;2;ab;I;:ROWID_3;0;1;7;",
       "EXEC;;;2;\nInsert Into T (A, B  ) Values (:A, :B  )", "I;:A;0;2;xy;I;:B;4;5;hello;",
       "EXEC;;;2;\nDelete from T Where A = :A and ROWID = :RID", "I;:A;0;2;ef;I;:RID;0;1;8;"},
      {svUNIX, dtSybase, "EXEC;;;3;\nUpdate T Set A = @A, B = @B Where A = @A_1",
       "I;@A;0;2;cd;I;@B;4;5;memo1;I;@A_1;0;2;ab;",
       "EXEC;;;2;\nInsert Into T (A, B) Values (@A, @B)", "I;@A;0;2;xy;I;@B;4;5;hello;",
       "EXEC;;;1;\nDelete from T Where A = @A", "I;@A;0;2;ef;"},
      {svNTServer, dtOracle,
       "EXEC;;;4;\nUpdate T Set A = :A, B = :B   Where A = :A_1 and ROWID = :ROWID_3",
       "I;A;0;2;cd;I;B;4;5;memo1;I;A_1;0;2;ab;I;ROWID_3;0;1;7;",
       "EXEC;;;2;\nInsert Into T (A, B  ) Values (:A, :B  )", "I;A;0;2;xy;I;B;4;5;hello;",
       "EXEC;;;2;\nDelete from T Where A = :A and ROWID = :RID", "I;A;0;2;ef;I;ROWID;0;1;8;"},
      {svNTServer, dtSybase, "EXEC;;;3;\nUpdate T Set A = :A, B = :B Where A = :A_1",
       "I;A;0;2;cd;I;B;4;5;memo1;I;A_1;0;2;ab;",
       "EXEC;;;2;\nInsert Into T (A, B) Values (:A, :B)", "I;A;0;2;xy;I;B;4;5;hello;",
       "EXEC;;;1;\nDelete from T Where A = :A", "I;A;0;2;ef;"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.update);
    PeerTable t;
    OPEN_OR_RETURN(t, c.server, c.database);
    t.AnswerBatch({"1;OK", "1;OK", "1;OK"});
    t.EditInsertDelete();
    EXPECT_EQ(t.Batch(), Frame("TRAN;;;0;\n") + Frame(c.update) + Frame(c.update_block) +
                             Frame(c.insert) + Frame(c.insert_block) + Frame(c.remove) +
                             Frame(c.remove_block) + Frame("COMMIT;;;0;\n"));
    EXPECT_TRUE(t.table_.ChangeLog().Empty());
    EXPECT_EQ(t.log_.Count(), 0u) << t.log_.Texts();
  }
}

TEST(TablePeerTest, TheStatementIsWrittenLineByLine) {
  for (TDatabaseType database : {dtOracle, dtSybase}) {
    ScriptedPeer peer;
    peer.Add(PeerScript().ReadFrames(1).WriteFrame("-1;no").ReadFrames(1));
    MessageLog log;
    TOrvRDB rdb(nullptr);
    rdb.SetAddress("127.0.0.1");
    rdb.SetPort(peer.Port());
    rdb.SetDatabaseType(database);
    TOrvTable table(nullptr);
    table.SetActive(true);  // neither a name nor a connection: nothing
    table.SetTableName("T");
    table.SetActive(true);
    table.SetDatabase(&rdb);
    table.SetIndexFieldNames("A;B;");
    table.SetFilterText("X > 1");
    table.SetFiltered(true);
    table.Open();
    EXPECT_FALSE(table.Active());
    ASSERT_TRUE(peer.WaitEnded(0));
    EXPECT_EQ(SplitFrames(peer.Received(0))[0],
              std::string("OPEN;;;0;\n") +
                  (database == dtOracle ? "select T.*, ROWID from T" : "select * from T") +
                  "\r\nwhere X > 1\r\n order by A,B\r\n");
    EXPECT_EQ(table.IndexFieldNames(), "A;B;");
  }
}

TEST(TablePeerTest, AFailedStatementRollsBackAndPutsTheRowBack) {
  struct Case {
    std::string reply, message;
  } cases[] = {
      {"0;OK", "Record not found or changed by another user."},
      {"2;OK", "Multiple records found, but only one was expected."},
      {"-19;constraint failed; really", "constraint failed; really"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reply);
    PeerTable t;
    OPEN_OR_RETURN(t, svUNIX, dtOracle);
    t.AnswerBatch({c.reply});
    t.table_.Edit();
    t.table_.FieldByName("A")->SetAsString("cd");
    try {
      t.table_.Post();
      ADD_FAILURE() << "the post went through";
    } catch (const EOrvDataSetException& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
    }
    EXPECT_EQ(t.Batch(), Frame("TRAN;;;0;\n") +
                           Frame("EXEC;;;4;\nUpdate T Set A = :A, B = :B   Where A = :A_1 and "
                                 "ROWID = :ROWID_3") +
                           Frame("I;:A;0;2;cd;I;:B;4;5;memo1;I;:A_1;0;2;ab;I;:ROWID_3;0;1;7;") +
                           Frame("ROLLBACK;;;0;\n"));
    EXPECT_EQ(t.table_.State(), dsBrowse);
    EXPECT_EQ(t.table_.FieldByName("A")->AsString(), "ab");
    EXPECT_TRUE(t.table_.ChangeLog().Empty());
    EXPECT_FALSE(t.rdb_.InTransaction());
  }
  // A refused insert leaves no row behind.
  PeerTable t;
  OPEN_OR_RETURN(t, svUNIX, dtOracle);
  t.AnswerBatch({"-1;refused"});
  t.table_.Append();
  t.table_.FieldByName("A")->SetAsString("new");
  EXPECT_THROW(t.table_.Post(), EOrvDataSetException);
  EXPECT_EQ(t.table_.State(), dsBrowse);
  EXPECT_EQ(t.table_.RecordCount(), 2);
  t.table_.Last();
  EXPECT_EQ(t.table_.FieldByName("A")->AsString(), "ef");
}

TEST(TablePeerTest, ADateItsColumnCannotHoldIsRefusedAtPost) {
  // A posted date is written in its 17-character server form: a column
  // declared 16 wide would store it and read it back cut.
  ScriptedPeer peer;
  peer.Add(PeerScript().ReadFrames(1).WriteFrame("1;OK").WriteFrame(
      Column(12, "D", 16) + Value("") + "EOF;").ReadFrames(1));
  MessageLog log;
  TOrvRDB rdb(nullptr);
  rdb.SetAddress("127.0.0.1");
  rdb.SetPort(peer.Port());
  rdb.SetDatabaseType(dtSybase);
  TOrvTable table(nullptr);
  table.SetDatabase(&rdb);
  table.SetTableName("T");
  table.SetCachedUpdates(true);
  table.Open();
  ASSERT_TRUE(table.Active()) << log.Texts();
  table.Edit();
  table.FieldByName("D")->SetAsDateTime(EncodeDate(2001, 3, 2));
  EXPECT_THROW(table.Post(), EOrvDataSetException);
  table.Cancel();
  EXPECT_TRUE(table.FieldByName("D")->IsNull());
  EXPECT_TRUE(table.ChangeLog().Empty());
}

}  // namespace
}  // namespace orv
