#include <gtest/gtest.h>

#include <thread>

#include "fake_owner.h"
#include "host/variant.h"

namespace orv {
namespace {

using test::FakeOwner;

// A reader thread appends thousands of rows, in frames cut mid-token, while
// this thread walks them with Next and searches the rows received so far.
TEST(StreamThreads, WalkAndSearchWhileRowsArrive) {
  constexpr int kRows = 4000;
  std::string reply = "8;N;6;0;4;M;0;0;";
  for (int i = 0; i < kRows; ++i) {
    const std::string n = std::to_string(i * 2);
    const std::string memo = "m" + std::to_string(i);
    reply += std::to_string(n.size()) + ";" + n + ";" + std::to_string(memo.size()) +
             ";" + memo + ";";
  }
  reply += "EOF;";

  FakeOwner owner;
  owner.state.store(kResultColumnsPending);
  owner.stream.SetCols(2);
  std::thread reader([&owner] {
    owner.stream.SetFieldInf(true);
    owner.state.store(kResultComplete);
    owner.event.SetEvent();
  });
  std::thread feeder([&owner, &reply] {
    for (size_t at = 0; at < reply.size(); at += 37) {
      owner.Push(reply.substr(at, 37));
      if (at % 3700 == 0) std::this_thread::yield();
    }
  });

  TOrvRDBStream& s = owner.stream;
  const std::string key_n(1, '\0');
  s.First();
  int walked = 1;
  ASSERT_EQ(s.Fields(0), "0");
  while (true) {
    s.Next();
    if (s.Eof()) break;
    ++walked;
    const int row = s.Tell();
    ASSERT_EQ(s.Fields(0), std::to_string(row * 2));
    ASSERT_EQ(s.Fields(1), "m" + std::to_string(row));
    if (row % 400 == 0) {
      // Nearest on an odd number lands on the next even one, if received.
      if (s.GotoKey(key_n, VarArrayOf({Variant(row * 2 - 1)}), true)) {
        EXPECT_EQ(s.Tell(), row);
      }
      s.SetCurRow(row - 5);
      EXPECT_TRUE(s.Locate(key_n, VarArrayOf({Variant(std::to_string(row * 2))}), loNone));
      EXPECT_EQ(s.Tell(), row);
    }
  }
  feeder.join();
  reader.join();
  EXPECT_EQ(walked, kRows);
  EXPECT_EQ(s.RowCount(), kRows);
  EXPECT_EQ(s.Tell(), kRows - 1);
  EXPECT_TRUE(s.EndSeen());
  EXPECT_TRUE(s.GotoKey(key_n, VarArrayOf({Variant(kRows * 2)}), true));
  EXPECT_EQ(s.Tell(), kRows - 1);
}

}  // namespace
}  // namespace orv
