#include "host/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "host/exceptions.h"
#include "host/syncobjs.h"

namespace orv {
namespace {

using namespace std::chrono_literals;

// Runs `body` as its Execute; stops itself before its members die.
class FnThread : public TThread {
 public:
  explicit FnThread(std::function<void(FnThread*)> body)
      : TThread(true), body_(std::move(body)) {}
  ~FnThread() override {
    Terminate();
    WaitFor();
    if (on_destroy != nullptr) on_destroy->SetEvent();
  }
  using TThread::SetReturnValue;
  TEvent* on_destroy = nullptr;

 protected:
  void Execute() override { body_(this); }

 private:
  std::function<void(FnThread*)> body_;
};

TEST(ThreadTest, StartsOnlyWhenStartedAndReportsItsResult) {
  std::atomic<int> runs{0};
  std::atomic<uint64_t> inner_id{0};
  std::atomic<bool> on_terminate_after_execute{false};
  FnThread t([&](FnThread* self) {
    ++runs;
    inner_id = GetCurrentThreadId();
    self->SetReturnValue(42);
  });
  t.OnTerminate = [&](TThread*) { on_terminate_after_execute = runs == 1; };
  EXPECT_TRUE(t.Suspended());
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(runs, 0);
  t.Start();
  t.Resume();  // already running: nothing more
  EXPECT_FALSE(t.Suspended());
  EXPECT_EQ(t.WaitFor(), 42);
  EXPECT_EQ(t.WaitFor(), 42);
  EXPECT_EQ(runs, 1);
  EXPECT_TRUE(on_terminate_after_execute);
  EXPECT_EQ(t.ThreadID(), inner_id);
  EXPECT_NE(t.ThreadID(), GetCurrentThreadId());
  EXPECT_EQ(t.FatalException(), nullptr);
}

TEST(ThreadTest, WaitForReturnsAfterTerminate) {
  std::atomic<bool> running{false};
  FnThread t([&](FnThread* self) {
    running = true;
    while (!self->Terminated()) std::this_thread::sleep_for(1ms);
  });
  t.Start();
  while (!running) std::this_thread::sleep_for(1ms);
  t.Terminate();
  EXPECT_TRUE(t.Terminated());
  t.WaitFor();

  // Terminated before it starts: Execute never runs.
  std::atomic<int> runs{0};
  FnThread early([&](FnThread*) { ++runs; });
  early.Terminate();
  early.Start();
  early.WaitFor();
  EXPECT_EQ(runs, 0);

  // Never started: WaitFor and destruction return at once.
  FnThread idle([](FnThread*) {});
  EXPECT_EQ(idle.WaitFor(), 0);
}

TEST(ThreadTest, ExceptionFromExecuteIsKeptAndWaitingOnItselfIsRefused) {
  std::atomic<bool> self_wait_refused{false};
  FnThread t([&](FnThread* self) {
    try {
      self->WaitFor();
    } catch (const Exception&) {
      self_wait_refused = true;
    }
    throw EConvertError("bad value");
  });
  t.OnTerminate = [](TThread*) { throw Exception("ignored"); };
  t.Start();
  t.WaitFor();
  EXPECT_TRUE(self_wait_refused);
  ASSERT_NE(t.FatalException(), nullptr);
  try {
    std::rethrow_exception(t.FatalException());
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "bad value");
  }
}

TEST(ThreadTest, FreeOnTerminateThreadsDeleteThemselves) {
  // Each one signals from Execute, as a reader thread tells its dataset,
  // and then deletes itself; ASan/LSan see any leak or late touch.
  constexpr int kThreads = 16;
  std::atomic<int> executed{0};
  std::atomic<int> finished{0};
  TEvent all_finished(true, false);
  for (int i = 0; i < kThreads; ++i) {
    auto* t = new FnThread([&](FnThread* self) {
      ++executed;
      if (executed % 2 == 0) throw Exception("dropped with the thread");
      self->SetReturnValue(1);
    });
    t->SetFreeOnTerminate(true);
    t->OnTerminate = [&](TThread*) {
      if (++finished == kThreads) all_finished.SetEvent();
    };
    t->Start();
  }
  EXPECT_EQ(all_finished.WaitFor(5000), wrSignaled);
  EXPECT_TRUE(TThread::WaitForRunningThreads(5000));
  EXPECT_EQ(executed, kThreads);

  TEvent gone(true, false);
  auto* t = new FnThread([](FnThread*) {});
  t->on_destroy = &gone;
  t->SetFreeOnTerminate(true);
  t->Start();
  EXPECT_EQ(gone.WaitFor(5000), wrSignaled);
  EXPECT_TRUE(TThread::WaitForRunningThreads(5000));
}

}  // namespace
}  // namespace orv
