// Two threads transfer on two connections of one component at once, while a
// third asks about the connections; one thread waits on a connection while
// another disconnects it. The socket list, the sockets' lifetimes and the
// members the threads share must hold up under ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "rdb/orv_rdb.h"
#include "tests/rdb/rdb_test_util.h"

namespace orv {
namespace {

TEST(Threads, TwoConnectionsOfOneComponentTransferAtOnce) {
  ScriptedPeer peer;
  peer.Add(PeerScript().Echo());
  peer.Add(PeerScript().Echo());
  TOrvRDB rdb(nullptr);
  PointAt(rdb, peer);
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

// A reader blocked on a silent server must come back as soon as another
// thread disconnects its handle, with the error of an unknown handle, and the
// descriptor must stay its own until it lets go. Each round opens a fresh
// connection, so a descriptor number freed too early would be reused by the
// next one.
TEST(Threads, DisconnectEndsAWaitOnTheSameHandle) {
  ScriptedPeer peer;  // records every connection and never answers
  TOrvRDB rdb(nullptr);
  PointAt(rdb, peer);
  // A wait that is not woken lasts far beyond the watchdog's limit.
  rdb.SetTimeOut(600000);
  Watchdog watchdog("waits ended by Disconnect", 60);

  constexpr int kRounds = 12;
  for (int round = 0; round < kRounds; ++round) {
    const int handle = rdb.Connect();
    std::atomic<bool> started{false};
    std::string outcome;
    std::thread reader([&] {
      started = true;
      try {
        switch (round % 3) {
          case 0:
            rdb.Receive(handle);
            outcome = "received";
            break;
          case 1:
            rdb.WaitForData(handle, 600000, wtRead);
            outcome = ErrorOf([&] { rdb.Readn(handle, nullptr, 1); });
            break;
          default:
            char byte;
            while (rdb.Readn(handle, &byte, 1) == 0) {
            }
            outcome = "read";
        }
      } catch (const Exception& e) {
        outcome = e.Message();
      }
    });
    while (!started) std::this_thread::yield();
    if (round % 2 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    rdb.Disconnect(handle);
    reader.join();
    EXPECT_EQ(outcome.rfind("Read error 9, ", 0), 0u) << "round " << round << ": " << outcome;
    EXPECT_FALSE(rdb.Connected(handle));
    // The farewell still reached the server, and nothing after it.
    ASSERT_TRUE(peer.WaitEnded(round)) << round;
    EXPECT_EQ(peer.Received(round), kClose) << round;
  }
}

}  // namespace
}  // namespace orv
