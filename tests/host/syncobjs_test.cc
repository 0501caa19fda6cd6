#include "host/syncobjs.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace orv {
namespace {

using namespace std::chrono_literals;

// Polls `done` for at most five seconds.
template <class F>
bool Eventually(F done) {
  for (int i = 0; i < 500 && !done(); ++i) std::this_thread::sleep_for(10ms);
  return done();
}

TEST(SyncObjsTest, CriticalSectionIsReentrantForItsOwnThreadOnly) {
  TCriticalSection cs;
  EXPECT_FALSE(cs.HeldByThisThread());
  cs.Enter();
  {
    std::lock_guard<TCriticalSection> again(cs);
    bool other_got_it = true;
    std::thread([&] { other_got_it = cs.TryEnter(); }).join();
    EXPECT_FALSE(other_got_it);
  }
  // Still held once, and only by this thread.
  EXPECT_TRUE(cs.HeldByThisThread());
  bool other_got_it = true;
  bool other_holds = true;
  std::thread([&] {
    other_got_it = cs.TryEnter();
    other_holds = cs.HeldByThisThread();
  }).join();
  EXPECT_FALSE(other_got_it);
  EXPECT_FALSE(other_holds);
  cs.Leave();
  EXPECT_FALSE(cs.HeldByThisThread());
  std::thread([&] {
    other_got_it = cs.TryEnter();
    if (other_got_it) cs.Release();
  }).join();
  EXPECT_TRUE(other_got_it);
}

TEST(SyncObjsTest, ManualResetReleasesEveryWaiterAndStaysSet) {
  TSimpleEvent event;
  std::atomic<int> woken{0};
  std::thread a([&] { if (event.WaitFor(INFINITE) == wrSignaled) ++woken; });
  std::thread b([&] { if (event.WaitFor(5000) == wrSignaled) ++woken; });
  event.SetEvent();
  a.join();
  b.join();
  EXPECT_EQ(woken, 2);
  EXPECT_EQ(event.WaitFor(0), wrSignaled);
  EXPECT_EQ(event.WaitFor(0), wrSignaled);
  event.ResetEvent();
  EXPECT_EQ(event.WaitFor(0), wrTimeout);
}

TEST(SyncObjsTest, AutoResetReleasesOneWaiterPerSignal) {
  TAutoResetEvent event;
  std::atomic<int> woken{0};
  auto waiter = [&] { if (event.WaitFor(INFINITE) == wrSignaled) ++woken; };
  std::thread a(waiter);
  std::thread b(waiter);
  event.SetEvent();
  ASSERT_TRUE(Eventually([&] { return woken == 1; }));
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(woken, 1);  // the signal was consumed by one waiter
  event.SetEvent();
  ASSERT_TRUE(Eventually([&] { return woken == 2; }));
  a.join();
  b.join();
  EXPECT_EQ(event.WaitFor(0), wrTimeout);

  // A signal set before anyone waits is kept for exactly one wait.
  TAutoResetEvent preset(true);
  EXPECT_EQ(preset.WaitFor(0), wrSignaled);
  EXPECT_EQ(preset.WaitFor(0), wrTimeout);
}

TEST(SyncObjsTest, TimedWaitTimesOutAndInfiniteWaitEndsOnSignal) {
  TEvent event(true, false);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(event.WaitFor(50), wrTimeout);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 50ms);

  std::thread setter([&] {
    std::this_thread::sleep_for(20ms);
    event.SetEvent();
  });
  EXPECT_EQ(event.WaitFor(INFINITE), wrSignaled);
  setter.join();
}

}  // namespace
}  // namespace orv
