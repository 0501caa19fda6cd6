// The connection commands on the wire and the states they leave behind.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "rdb/orv_rdb.h"
#include "tests/rdb/rdb_test_util.h"
#include "tests/support/scripted_peer.h"

namespace orv {
namespace {

using testing::PeerScript;
using testing::ScriptedPeer;
using testing::Watchdog;
using testing::ErrorOf;
using testing::PointAt;

const std::string kClose = "0011CLOSE;;;0;\n";
const std::string kTran = "0010TRAN;;;0;\n";
const std::string kCommit = "0012COMMIT;;;0;\n";
const std::string kRollback = "0014ROLLBACK;;;0;\n";

// A server that answers TRAN and the closing command with the given lines.
PeerScript Transaction(const std::string& begin, const std::string& end) {
  return PeerScript().ReadFrames().WriteFrame(begin).ReadFrames().WriteFrame(end);
}

TEST(Connection, LogInAndCloseDependOnTheServerType) {
  ScriptedPeer peer;
  TOrvRDB rdb(nullptr);
  PointAt(rdb, peer);

  int unix_handle = rdb.Connect();
  EXPECT_TRUE(rdb.Connected(unix_handle));
  EXPECT_TRUE(rdb.CatalogFetch());
  rdb.Disconnect(unix_handle);
  ASSERT_TRUE(peer.WaitEnded(0));
  EXPECT_EQ(peer.Received(0), kClose);

  rdb.SetServerType(svNTServer);
  rdb.SetDBUserId("u1");
  rdb.SetDBPassword("");
  rdb.SetDatabase("db1");
  int nt_handle = rdb.Connect();
  rdb.Disconnect(nt_handle);
  ASSERT_TRUE(peer.WaitEnded(1));
  EXPECT_EQ(peer.Received(1), "0017CONNECT;u1;;db1;\n");

  // The closed default socket has handle -1, yet -1 is no connection.
  EXPECT_TRUE(rdb.CheckDefaultSocket(-1));
  EXPECT_FALSE(rdb.Connected(-1));
}

TEST(Connection, UnreachableServerRaisesAndLeavesNothingOpen) {
  ScriptedPeer peer;
  TOrvRDB rdb(nullptr);
  rdb.SetAddress("0.0.0.0");
  rdb.SetPort(peer.Port());
  EXPECT_EQ(ErrorOf([&] { rdb.Connect(); }), sServerNotReady);
  EXPECT_FALSE(rdb.CatalogFetch());
  EXPECT_EQ(ErrorOf([&] { rdb.StartTransaction(); }), sServerNotReady);
  EXPECT_FALSE(rdb.InTransaction());
  EXPECT_FALSE(rdb.Active());
  EXPECT_EQ(peer.Accepted(), 0);
  EXPECT_FALSE(rdb.Connected(0));
}

TEST(Connection, CommitAndRollbackEndTheTransactionOnTheWire) {
  ScriptedPeer peer;
  peer.Add(Transaction("0;begun", "0;committed"));
  peer.Add(Transaction("0;", "1;rolled back"));
  peer.Add(Transaction("0;", "0;"));
  TOrvRDB rdb(nullptr);
  PointAt(rdb, peer);
  Watchdog watchdog("transaction round trips", 30);

  rdb.StartTransaction();
  EXPECT_TRUE(rdb.InTransaction());
  EXPECT_TRUE(rdb.Active());
  EXPECT_EQ(ErrorOf([&] { rdb.StartTransaction(); }),
            "A user transaction is already in progress");
  // Every dataset of the transaction gets the default socket.
  int handle = rdb.Connect();
  EXPECT_TRUE(rdb.CheckDefaultSocket(handle));
  EXPECT_EQ(rdb.Connect(), handle);
  rdb.Commit();
  EXPECT_FALSE(rdb.InTransaction());
  EXPECT_FALSE(rdb.Active());
  EXPECT_FALSE(rdb.Connected(handle));
  ASSERT_TRUE(peer.WaitEnded(0));
  EXPECT_EQ(peer.Received(0), kTran + kCommit + kClose);

  rdb.SetServerType(svNTServer);
  rdb.SetDBUserId("scott");
  rdb.SetDBPassword("tiger");
  rdb.SetDatabase("orcl");
  rdb.StartTransaction();
  int second = rdb.Connect();
  EXPECT_NE(second, handle);
  rdb.Rollback();
  ASSERT_TRUE(peer.WaitEnded(1));
  EXPECT_EQ(peer.Received(1), "0026CONNECT;scott;tiger;orcl;\n" + kTran + kRollback);

  // A transaction whose connection was closed hands out no other one, and
  // is over at the next Commit.
  rdb.StartTransaction();
  rdb.Disconnect(rdb.Connect());
  EXPECT_EQ(rdb.Connect(), -1);
  EXPECT_EQ(ErrorOf([&] { rdb.Commit(); }), "OrvRDB is not active");
  EXPECT_FALSE(rdb.InTransaction());
}

TEST(Connection, FailedCommandsLeaveTheComponentIdle) {
  ScriptedPeer peer;
  peer.Add(Transaction("0;", "-5;deadlock detected"));
  peer.Add(PeerScript().ReadFrames().WriteFrame("-1;no such database"));
  peer.Add(Transaction("0;", "bad reply"));
  TOrvRDB rdb(nullptr);
  PointAt(rdb, peer);
  Watchdog watchdog("failed transaction commands", 30);

  EXPECT_EQ(ErrorOf([&] { rdb.Commit(); }), "OrvRDB is not active");
  EXPECT_EQ(ErrorOf([&] { rdb.Rollback(); }), "OrvRDB is not active");

  // The server refuses the commit: the transaction is over all the same.
  rdb.StartTransaction();
  EXPECT_EQ(ErrorOf([&] { rdb.Commit(); }), "deadlock detected");
  EXPECT_FALSE(rdb.InTransaction());
  EXPECT_FALSE(rdb.Active());
  EXPECT_EQ(ErrorOf([&] { rdb.Commit(); }), "OrvRDB is not active");
  ASSERT_TRUE(peer.WaitEnded(0));
  EXPECT_EQ(peer.Received(0), kTran + kCommit + kClose);

  // The server refuses to begin: nothing stays open, settings may change.
  EXPECT_EQ(ErrorOf([&] { rdb.StartTransaction(); }), "no such database");
  EXPECT_FALSE(rdb.InTransaction());
  EXPECT_FALSE(rdb.Active());
  rdb.SetDatabase("other");
  ASSERT_TRUE(peer.WaitEnded(1));
  EXPECT_EQ(peer.Received(1), kTran + kClose);

  // A reply that is no result line.
  rdb.StartTransaction();
  EXPECT_EQ(ErrorOf([&] { rdb.Rollback(); }), sResultFormatError);
  EXPECT_FALSE(rdb.Active());
}

TEST(Connection, SettingsAreRefusedOnlyWhileATransactionIsOpen) {
  ScriptedPeer peer;
  peer.Add(Transaction("0;", "0;"));
  TOrvRDB rdb(nullptr);
  PointAt(rdb, peer);
  rdb.StartTransaction();

  const std::function<void()> changes[] = {
      [&] { rdb.SetHost("elsewhere"); },
      [&] { rdb.SetPort(rdb.Port() + 1); },
      [&] { rdb.SetAddress("10.0.0.1"); },
      [&] { rdb.SetServerType(svNTServer); },
      [&] { rdb.SetDBPassword("p2"); },
  };
  for (const auto& change : changes) {
    EXPECT_EQ(ErrorOf(change), sCantChangeWhileActive);
  }
  EXPECT_EQ(rdb.Address(), "127.0.0.1");
  EXPECT_EQ(rdb.ServerType(), svUNIX);

  // Setting the current value passes, and still empties the name caches.
  rdb.TableNameCache().Add("EMP");
  rdb.ProcNameCache().Add("P1");
  rdb.SetCatalogFetch(false);
  rdb.SetAddress("127.0.0.1");
  EXPECT_EQ(rdb.TableNameCache().Count(), 0);
  EXPECT_EQ(rdb.ProcNameCache().Count(), 0);
  EXPECT_TRUE(rdb.CatalogFetch());

  rdb.Commit();
  rdb.SetDatabaseType(dtSybase);
  EXPECT_EQ(rdb.DatabaseType(), dtSybase);
}

struct FakeDataSet : IOrvRDBDataSet {
  int closed = 0;
  void CloseForDatabase() override { ++closed; }
};

TEST(Connection, DestroyingTheComponentClosesDataSetsAndEveryConnection) {
  ScriptedPeer peer;
  peer.Add(PeerScript());
  peer.Add(PeerScript());
  peer.Add(Transaction("0;", "0;"));
  FakeDataSet bound, unbound;
  {
    TOrvRDB rdb(nullptr);
    PointAt(rdb, peer);
    rdb.AddOrvDataSet(&bound);
    rdb.AddOrvDataSet(&bound);
    rdb.AddOrvDataSet(&unbound);
    rdb.RemoveOrvDataSet(&unbound);
    rdb.Connect();
    rdb.Connect();
    rdb.StartTransaction();
  }
  EXPECT_EQ(bound.closed, 1);
  EXPECT_EQ(unbound.closed, 0);
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(peer.WaitEnded(i)) << i;
  EXPECT_EQ(peer.Received(0), kClose);
  EXPECT_EQ(peer.Received(1), kClose);
  // The transaction's connection is closed without a word.
  EXPECT_EQ(peer.Received(2), kTran);
}

}  // namespace
}  // namespace orv
