// Two threads transfer on two connections of one component at once, while a
// third asks about the connections: the transfer lock, the socket list and
// the members the threads share must hold up under ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "rdb/orv_rdb.h"
#include "tests/rdb/rdb_test_util.h"
#include "tests/support/scripted_peer.h"

namespace orv {
namespace {

using testing::PeerScript;
using testing::ScriptedPeer;
using testing::Watchdog;

TEST(Threads, TwoConnectionsOfOneComponentTransferAtOnce) {
  ScriptedPeer peer;
  peer.Add(PeerScript().Echo());
  peer.Add(PeerScript().Echo());
  TOrvRDB rdb(nullptr);
  testing::PointAt(rdb, peer);
  Watchdog watchdog("concurrent transfers", 60);

  constexpr int kRounds = 40;
  std::atomic<int> finished{0};
  std::vector<std::string> failures(2);
  std::atomic<int> handles[2] = {-1, -1};
  auto worker = [&](int index) {
    try {
      int handle = rdb.Connect();
      handles[index] = handle;
      for (int round = 0; round < kRounds; ++round) {
        std::string message(static_cast<size_t>(1 + (round * 97 + index) % 4092),
                            static_cast<char>('a' + index));
        if (rdb.Send(handle, message) != static_cast<int>(message.size()) + 4) {
          failures[index] = "short send";
          break;
        }
        if (rdb.Receive(handle) != message) {
          failures[index] = "wrong echo";
          break;
        }
        rdb.SetTimeOut(500 + round);
      }
      rdb.Disconnect(handle);
    } catch (const Exception& e) {
      failures[index] = e.Message();
    }
    ++finished;
  };
  std::thread first(worker, 0), second(worker, 1);
  // Meanwhile the application thread looks at the connections.
  while (finished < 2) {
    for (auto& handle : handles) {
      rdb.Connected(handle);
      rdb.CheckDefaultSocket(handle);
    }
    rdb.InTransaction();
    std::this_thread::yield();
  }
  first.join();
  second.join();
  EXPECT_EQ(failures[0], "");
  EXPECT_EQ(failures[1], "");
  EXPECT_FALSE(rdb.Connected(handles[0]));
  EXPECT_FALSE(rdb.Connected(handles[1]));
}

}  // namespace
}  // namespace orv
