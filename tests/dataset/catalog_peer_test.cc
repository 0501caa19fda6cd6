// Catalogue lists against a scripted server: the exact queries, owner
// prefixes in both database styles, the connection's caches and what
// empties them, and replies that break off.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "dataset/message_log.h"
#include "dataset/orv_query.h"
#include "dataset/orv_table.h"
#include "rdb/orv_rdb.h"
#include "tests/support/scripted_peer.h"

namespace orv {
namespace {

using testing::Column;
using testing::MessageLog;
using testing::PeerScript;
using testing::ScriptedPeer;
using testing::SplitFrames;
using testing::Value;

// A name list reply of (owner, name) rows.
PeerScript Names(const std::vector<std::pair<std::string, std::string>>& rows) {
  std::string reply = Column(18, "OWNER", 30) + Column(18, "NAME", 30);
  for (const auto& [owner, name] : rows) reply += Value(owner) + Value(name);
  return PeerScript().ReadFrames(1).WriteFrame("2;OK").WriteFrame(reply + "EOF;").ReadFrames(1);
}

class CatalogPeerTest : public ::testing::Test {
 protected:
  CatalogPeerTest() {
    rdb_.SetAddress("127.0.0.1");
    rdb_.SetPort(peer_.Port());
    table_.SetDatabase(&rdb_);
  }
  std::string List(const std::string& kind) {
    TStringList names;
    table_.GetTableNames(kind, &names);
    return names.Text();
  }
  std::string Query(int index) {
    EXPECT_TRUE(peer_.WaitEnded(index));
    return SplitFrames(peer_.Received(index)).at(0);
  }

  ScriptedPeer peer_;
  MessageLog log_;
  TOrvRDB rdb_{nullptr};
  TOrvTable table_{nullptr};
};

TEST_F(CatalogPeerTest, QueriesByDatabaseAndKind) {
  const std::string oracle = "OPEN;;;0;\nselect owner, object_name from sys.all_objects ";
  const std::string sybase = "OPEN;;;0;\nselect user_name (uid), name from sysobjects ";
  const struct {
    TDatabaseType database;
    const char* kind;
    std::string query;
  } cases[] = {
      {dtOracle, "T", oracle + "where object_type in ('TABLE', 'VIEW') and owner != 'SYS'"},
      {dtOracle, "P", oracle + "where object_type in ('PROCEDURE', 'FUNCTION')"},
      {dtSybase, "T", sybase + "where type in ('U', 'V')"},
      {dtSybase, "", sybase + "where type = 'P'"},
  };
  for (size_t i = 0; i < std::size(cases); ++i) peer_.Add(Names({}));
  for (size_t i = 0; i < std::size(cases); ++i) {
    rdb_.SetDatabaseType(cases[i].database);
    EXPECT_EQ(List(cases[i].kind), "");
    EXPECT_EQ(Query(static_cast<int>(i)), cases[i].query);
  }
  EXPECT_EQ(log_.Count(), 0u) << log_.Texts();
}

TEST_F(CatalogPeerTest, OwnerPrefixesAndTheCaches) {
  peer_.Add(Names({{"SCOTT", "EMP"}, {"hr", "JOBS"}}));
  peer_.Add(Names({{"scott", "PAY"}}));
  peer_.Add(Names({{"scott", "EMP"}}));
  peer_.Add(Names({{"dbo", "T"}}));
  rdb_.SetDBUserId("Scott");
  EXPECT_EQ(List("T"), "EMP\r\nhr.JOBS\r\n");
  EXPECT_EQ(List("P"), "PAY\r\n");
  // Both kinds now come from the caches.
  EXPECT_EQ(List("T"), "EMP\r\nhr.JOBS\r\n");
  EXPECT_EQ(List("P"), "PAY\r\n");
  EXPECT_EQ(peer_.Accepted(), 2);
  // Any setting written, even unchanged, empties them.
  rdb_.SetHost(rdb_.Host());
  EXPECT_EQ(List("T"), "EMP\r\n");
  rdb_.SetDatabaseType(dtSybase);
  EXPECT_EQ(List("T"), "dbo.T\r\n");
  EXPECT_EQ(peer_.Accepted(), 4);
}

TEST_F(CatalogPeerTest, AListThatBreaksOffRaisesAndIsNotCached) {
  const std::string head = Column(18, "OWNER", 30) + Column(18, "NAME", 30);
  peer_.Add(PeerScript().ReadFrames(1).WriteFrame("2;OK").WriteFrame(head + Value("a") +
                                                                     Value("T") + Value("a")).Write("0000"));
  peer_.Add(PeerScript().ReadFrames(1).WriteFrame("2;OK").WriteFrame(head + Value("a") + "EOF;"));
  peer_.Add(PeerScript().ReadFrames(1).WriteFrame("2;OK").WriteFrame(head + "-1;x;"));
  peer_.Add(Names({{"a", "T"}, {"a", "U"}}));
  EXPECT_THROW(List("T"), Exception);
  EXPECT_THROW(List("T"), EOrvDataSetException);
  try {
    List("T");
    ADD_FAILURE();
  } catch (const EOrvDataSetException& e) {
    EXPECT_STREQ(e.what(), "data of column(1) is not valid!");
  }
  EXPECT_EQ(List("T"), "a.T\r\na.U\r\n");
  EXPECT_EQ(peer_.Accepted(), 4);
}

TEST_F(CatalogPeerTest, AListAskedWhileRowsArriveWaitsForThemOnAConnectionOfItsOwn) {
  std::string rows;
  for (int i = 0; i < 50; ++i) rows += Value(std::to_string(i));
  peer_.Add(PeerScript()
                .ReadFrames(1)
                .WriteFrame("1;OK")
                .WriteFrame(Column(8, "N", 11) + rows)
                .Pause(200)
                .WriteFrame(rows + "EOF;")
                .ReadFrames(1));
  peer_.Add(Names({{"a", "T"}}));
  TOrvQuery query(nullptr);
  query.SetDatabase(&rdb_);
  query.SQL()->SetText("select N from T");
  query.Open();
  ASSERT_TRUE(query.Active()) << log_.Texts();
  TStringList names;
  query.GetTableNames("T", &names);
  EXPECT_EQ(names.Text(), "a.T\r\n");
  EXPECT_EQ(query.RecordCount(), 100);
  EXPECT_EQ(log_.Count(), 0u) << log_.Texts();
}

}  // namespace
}  // namespace orv
