// Frames on the wire, against a scripted peer: what Send writes byte for
// byte, what Receive assembles, and how both end on a dead connection.
#include <gtest/gtest.h>

#include <string>

#include "rdb/frame.h"
#include "rdb/orv_rdb.h"
#include "tests/rdb/rdb_test_util.h"

namespace orv {
namespace {


std::string Pattern(size_t size) {
  std::string text(size, '\0');
  for (size_t i = 0; i < size; ++i) text[i] = static_cast<char>('a' + i % 23);
  return text;
}

TEST(Framing, SendSplitsMessagesIntoFramesByteForByte) {
  ScriptedPeer peer;
  TOrvRDB rdb(nullptr);
  PointAt(rdb, peer);
  struct Case {
    std::string message;
    int sent;
    std::string wire;
  };
  const std::string m4092 = Pattern(4092), m4093 = Pattern(4093),
                    m8184 = Pattern(8184);
  const std::string binary("x\0y\r\n", 5);
  const Case cases[] = {
      {"hello", 9, "0005hello"},
      {m4092, 4096, "4092" + m4092},
      {m4093, 4101, "4092" + m4092 + "0001" + m4093.substr(4092)},
      {m8184, 8192, "4092" + m8184.substr(0, 4092) + "4092" + m8184.substr(4092)},
      {"", 0, ""},
      {binary, 9, "0005" + binary},
  };
  int index = 0;
  for (const Case& c : cases) {
    int handle = rdb.Connect();
    ASSERT_GE(handle, 0);
    EXPECT_EQ(rdb.Send(handle, c.message), c.sent) << c.message.size();
    rdb.Disconnect(handle);
    ASSERT_TRUE(peer.WaitEnded(index));
    EXPECT_EQ(peer.Received(index), c.wire + kClose) << c.message.size();
    ++index;
  }
}

TEST(Framing, ReceiveAssemblesSplitHeadersAndPayloads) {
  ScriptedPeer peer;
  const std::string big = Pattern(9999);
  peer.Add(PeerScript()
               .Write("00").Pause(30).Write("05he").Pause(30).Write("llo")
               .WriteFrame("")
               .Write("9999" + big.substr(0, 5000)).Pause(30).Write(big.substr(5000))
               .Write(std::string("0003a\0b", 7))
               // Frames that arrive together are all delivered before a
               // close behind them is reported.
               .Write("0002xy0002zw").Close());
  TOrvRDB rdb(nullptr);
  PointAt(rdb, peer);
  int handle = rdb.Connect();
  ASSERT_GE(handle, 0);
  Watchdog watchdog("Receive of prepared frames", 20);
  EXPECT_EQ(rdb.Receive(handle), "hello");
  EXPECT_EQ(rdb.Receive(handle), "");
  EXPECT_EQ(rdb.Receive(handle), big);
  EXPECT_EQ(rdb.Receive(handle), std::string("a\0b", 3));
  EXPECT_EQ(rdb.Receive(handle), "xy");
  EXPECT_EQ(rdb.Receive(handle), "zw");
  EXPECT_EQ(ErrorOf([&] { rdb.Receive(handle); }), sConnectionClosed);
}

TEST(Framing, SlowServerIsWaitedForAndClosedServerRaises) {
  ScriptedPeer peer;
  // Several time-outs pass before the answer; then the frame is cut off.
  peer.Add(PeerScript().Pause(300).WriteFrame("0;late").Write("0010abc").Close());
  peer.Add(PeerScript().Close());
  TOrvRDB rdb(nullptr);
  PointAt(rdb, peer);
  rdb.SetTimeOut(40);
  Watchdog watchdog("Receive on a closed connection", 20);

  int slow = rdb.Connect();
  EXPECT_EQ(rdb.Receive(slow), "0;late");
  EXPECT_EQ(ErrorOf([&] { rdb.Receive(slow); }), sConnectionClosed);

  int closed = rdb.Connect();
  ASSERT_TRUE(peer.WaitEnded(1));
  EXPECT_EQ(ErrorOf([&] { rdb.Receive(closed); }), sConnectionClosed);
  // The dead connections are still the caller's to release.
  EXPECT_TRUE(rdb.Connected(closed));
  rdb.Disconnect(closed);
  rdb.Disconnect(slow);
  EXPECT_FALSE(rdb.Connected(closed));

  // A time-out of 0 or less still waits a little rather than spinning.
  rdb.SetTimeOut(0);
  EXPECT_EQ(rdb.TimeOut(), 0);
  peer.Add(PeerScript().Pause(150).WriteFrame("0;ok"));
  int third = rdb.Connect();
  EXPECT_EQ(rdb.Receive(third), "0;ok");
}

TEST(Framing, HandlesOfClosedConnectionsNeverReachNewerOnes) {
  ScriptedPeer peer;
  TOrvRDB rdb(nullptr);
  PointAt(rdb, peer);
  rdb.SetServerType(svNTServer);
  rdb.SetDatabase("db");

  int old_handle = rdb.Connect();
  rdb.Disconnect(old_handle);
  int new_handle = rdb.Connect();
  ASSERT_GE(new_handle, 0);
  EXPECT_NE(new_handle, old_handle);
  EXPECT_FALSE(rdb.Connected(old_handle));
  EXPECT_FALSE(rdb.Connected(-1));

  // Everything through the stale handle fails or does nothing ...
  rdb.Disconnect(old_handle);
  EXPECT_FALSE(rdb.WaitForData(old_handle, 10, wtWrite));
  EXPECT_EQ(ErrorOf([&] { rdb.Send(old_handle, "x"); }).rfind("Write error 9, ", 0), 0u);
  EXPECT_EQ(ErrorOf([&] { rdb.Receive(old_handle); }).rfind("Read error 9, ", 0), 0u);
  char byte;
  EXPECT_EQ(ErrorOf([&] { rdb.Readn(old_handle, &byte, 1); }).rfind("Read error 9, ", 0), 0u);

  // ... and the newer connection is untouched.
  EXPECT_TRUE(rdb.Connected(new_handle));
  EXPECT_TRUE(rdb.WaitForData(new_handle, 1000, wtWrite));
  EXPECT_EQ(rdb.Send(new_handle, "ping"), 8);
  rdb.Disconnect(new_handle);
  ASSERT_TRUE(peer.WaitEnded(1));
  EXPECT_EQ(peer.Received(1), "0014CONNECT;;;db;\n0004ping");
}

TEST(Framing, SendStopsAtAFrameNotWrittenWholeAndDropsTheConnection) {
  ScriptedPeer peer;
  // The peer reads nothing until Send has returned, so the socket buffers
  // fill up; the message is larger than both buffers can ever hold.
  peer.Add(PeerScript().Hold());
  const std::string message = Pattern(64 << 20);
  TOrvRDB rdb(nullptr);
  PointAt(rdb, peer);
  rdb.SetTimeOut(50);
  int handle = rdb.Connect();

  int sent = rdb.Send(handle, message);
  peer.Release();
  EXPECT_LT(static_cast<size_t>(sent), FramedSize(message.size()));
  EXPECT_FALSE(rdb.Connected(handle));

  // The peer got whole frames up to the one cut short, and nothing after it.
  ASSERT_TRUE(peer.WaitEnded(0, 30000));
  const std::string wire = peer.Received(0);
  ASSERT_EQ(wire.size(), static_cast<size_t>(sent));
  for (size_t at = 0, frame = 0; at < wire.size(); at += 4096, ++frame) {
    std::string expected = "4092" + message.substr(frame * 4092, 4092);
    ASSERT_EQ(wire.substr(at, 4096), expected.substr(0, wire.size() - at)) << frame;
  }
}

}  // namespace
}  // namespace orv
