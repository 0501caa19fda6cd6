// TOrvQuery against replies that break off or do not match their result
// line: none may pass for a complete result, and none may touch memory the
// record layout does not own (these suites run under AddressSanitizer).
#include <gtest/gtest.h>

#include "dataset/message_log.h"
#include "dataset/orv_query.h"
#include "rdb/orv_rdb.h"
#include "tests/support/scripted_peer.h"

namespace orv {
namespace {

using testing::Column;
using testing::MessageLog;
using testing::PeerScript;
using testing::ScriptedPeer;
using testing::Value;

// One type code per host field type the reader tells apart.
constexpr int kTypes[] = {0, 1, 4, 5, 7, 8, 10, 11, 12, 14, 25};

// A value each of those columns takes.
std::string SampleValue(int type) {
  switch (type) {
    case 12: return "20010302130405000";
    case 11: return "T";
    case 0: case 1: case 4: case 5: case 25: return "ab";
    default: return "7";
  }
}

class BrokenReplyTest : public ::testing::Test {
 protected:
  BrokenReplyTest() {
    rdb_.SetAddress("127.0.0.1");
    rdb_.SetPort(peer_.Port());
  }

  // Opens a fresh query on the next script and walks whatever it shows.
  // Returns whether the query opened.
  bool OpenAndWalk(PeerScript script) {
    peer_.Add(std::move(script));
    TOrvQuery query(nullptr);
    query.SetDatabase(&rdb_);
    query.SQL()->Add("select 1");
    try {
      query.Open();
    } catch (const Exception&) {
      return false;  // the host refuses fields of an unknown type
    }
    if (!query.Active()) return false;
    try {
      for (; !query.Eof(); query.Next())
        for (int i = 0; i < query.FieldCount(); ++i) query.Fields()->GetField(i)->AsString();
    } catch (const Exception&) {
      // The end of an incomplete result, or a value the field cannot read.
    }
    return true;
  }

  ScriptedPeer peer_;
  MessageLog log_;
  TOrvRDB rdb_{nullptr};
};

TEST_F(BrokenReplyTest, DescriptionsThatBreakOffFailTheOpen) {
  // Three columns announced, a date-time and a blob described, then the
  // connection ends or the end marker comes.
  EXPECT_FALSE(OpenAndWalk(
      PeerScript().ReadFrames(1).Write("00043;OK001812;d;17;0;5;e;4;0;").Close()));
  EXPECT_NE(log_.Texts().find("Connection closed by server"), std::string::npos) << log_.Texts();
  EXPECT_FALSE(OpenAndWalk(
      PeerScript().ReadFrames(1).Write("00043;OK001812;d;17;0;5;e;4;0;0004EOF;").ReadFrames(1)));
}

TEST_F(BrokenReplyTest, EveryTypePairWithTooManyOrTooFewColumnsAnnounced) {
  for (int a : kTypes) {
    for (int b : kTypes) {
      const std::string described = Column(a, "a", 17) + Column(b, "b", 4);
      const std::string row = Value(SampleValue(a)) + Value(SampleValue(b));
      SCOPED_TRACE(std::to_string(a) + "," + std::to_string(b));
      EXPECT_FALSE(OpenAndWalk(
          PeerScript().ReadFrames(1).WriteFrame("3;OK").WriteFrame(described).Close()));
      EXPECT_FALSE(OpenAndWalk(
          PeerScript().ReadFrames(1).WriteFrame("3;OK").WriteFrame(described + "EOF;").Close()));
      // One column announced: the second description reads as rows.
      OpenAndWalk(PeerScript()
                      .ReadFrames(1)
                      .WriteFrame("1;OK")
                      .WriteFrame(described + row + row + "EOF;")
                      .Close());
    }
  }
}

}  // namespace
}  // namespace orv
