// Locks and events of the host layer.
//
// `TCriticalSection` is a lock that the thread holding it may take again
// (each Enter needs its Leave). It meets the standard's BasicLockable and
// Lockable requirements, so `std::lock_guard` and `std::unique_lock` work on
// it. It knows which thread holds it, so a function that needs it held
// says so with `AssertHeld()` (checked in debug builds).
//
// `TEvent` is a signal that threads wait for with a time limit. A
// manual-reset event stays signalled until `ResetEvent`, releasing every
// waiter; an auto-reset event releases one waiter and clears itself as that
// waiter wakes. Setting an event that is already signalled changes nothing
// (signals do not count up).
//
// All of them may be used from any thread; they must outlive every thread
// that waits on them.
#pragma once

#include <atomic>
#include <cassert>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#pragma GCC visibility push(default)
namespace orv {

// The time-out that means "wait without limit".
inline constexpr uint32_t INFINITE = 0xFFFFFFFFu;

class TCriticalSection {
 public:
  TCriticalSection() = default;
  TCriticalSection(const TCriticalSection&) = delete;
  TCriticalSection& operator=(const TCriticalSection&) = delete;

  void Enter() {
    mu_.lock();
    Entered();
  }
  void Leave() {
    if (--depth_ == 0) owner_.store(std::thread::id(), std::memory_order_relaxed);
    mu_.unlock();
  }
  // True when the lock was taken; never waits.
  bool TryEnter() {
    if (!mu_.try_lock()) return false;
    Entered();
    return true;
  }
  // Only the holder ever stores its own id, and clears it before it lets
  // go, so a thread reads its own id here exactly while it holds the lock.
  bool HeldByThisThread() const {
    return owner_.load(std::memory_order_relaxed) == std::this_thread::get_id();
  }
  void AssertHeld() const { assert(HeldByThisThread()); }
  void Acquire() { Enter(); }
  void Release() { Leave(); }

  void lock() { Enter(); }
  void unlock() { Leave(); }
  bool try_lock() { return TryEnter(); }

 private:
  void Entered() {
    if (depth_++ == 0) owner_.store(std::this_thread::get_id(), std::memory_order_relaxed);
  }

  std::recursive_mutex mu_;
  std::atomic<std::thread::id> owner_{};  // the holder, or no thread
  int depth_ = 0;                          // protected by mu_: Enters not yet left
};

// The outcome of a wait. Waits here end signalled or timed out;
// `wrAbandoned` and `wrError` exist for callers written against the full set.
enum TWaitResult { wrSignaled, wrTimeout, wrAbandoned, wrError };

class TEvent {
 public:
  TEvent(bool manual_reset, bool initial_state)
      : manual_reset_(manual_reset), signaled_(initial_state) {}
  TEvent(const TEvent&) = delete;
  TEvent& operator=(const TEvent&) = delete;
  virtual ~TEvent() = default;

  void SetEvent();
  void ResetEvent();
  // Waits until the event is signalled or `timeout_ms` has passed
  // (`INFINITE`: no limit; 0: only tests). An auto-reset event is cleared by
  // the wait that returns wrSignaled.
  TWaitResult WaitFor(uint32_t timeout_ms);

  bool ManualReset() const { return manual_reset_; }

 private:
  const bool manual_reset_;
  std::mutex mu_;
  std::condition_variable cv_;
  bool signaled_;  // protected by mu_
};

// A manual-reset event, created not signalled.
class TSimpleEvent : public TEvent {
 public:
  TSimpleEvent() : TEvent(true, false) {}
};

// An auto-reset event, created not signalled unless asked.
class TAutoResetEvent : public TEvent {
 public:
  explicit TAutoResetEvent(bool initial_state = false)
      : TEvent(false, initial_state) {}
};

}  // namespace orv
#pragma GCC visibility pop
