// TThread: a thread object whose body is the virtual `Execute`.
//
// A derived class overrides `Execute`; the thread runs it once. A C++ base
// constructor cannot start a thread that calls a virtual of the derived class
// (that part is not built yet), so the thread always begins at `Start()` (or
// its older name `Resume()`): `TThread(true)` is the usual spelling and
// `TThread(false)` differs only in that `Suspended()` reports false.
//
// Ending:
// - `Terminate()` only raises the `Terminated()` flag; `Execute` is expected
//   to test it between steps and return.
// - An exception that leaves `Execute` is caught and kept: `FatalException()`
//   after `WaitFor()`. It never escapes the thread.
// - `OnTerminate` runs on the thread itself after `Execute` returns.
// - With `FreeOnTerminate()` set (before `Start`), the object deletes itself
//   after `OnTerminate`. From `Start` on the creator must not touch it again:
//   no `WaitFor`, no `Terminate`, no delete. Whatever it shares with others
//   (an event to signal, a result state) is told its end from inside
//   `Execute`; `WaitForRunningThreads` waits for the threads' tails.
// - Otherwise the creator owns the object: `WaitFor()` joins the thread. The
//   destructor raises `Terminated` and joins as a last resort, but it runs
//   after the derived destructors, so a derived class whose `Execute` uses
//   its own members must be stopped (`Terminate(); WaitFor();`) before it is
//   deleted, by its owner or in its own destructor.
//
// Thread use: Start, Terminate, Terminated, Suspended, ThreadID are safe from
// any thread. WaitFor is for one thread at a time other than the thread
// itself. ReturnValue and FatalException are meant to be read after WaitFor.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

#include "persistent.h"

#pragma GCC visibility push(default)
namespace orv {

// A number naming the calling thread, unique among live threads.
uint64_t GetCurrentThreadId();

class TThread : public TObject {
 public:
  explicit TThread(bool create_suspended);
  ~TThread() override;

  // Starts the thread; does nothing once it has started.
  void Start();
  void Resume() { Start(); }

  void Terminate() { terminated_.store(true); }
  bool Terminated() const { return terminated_.load(); }
  bool Suspended() const { return suspended_.load(); }

  // Waits until the thread has ended (at once if it never started) and
  // returns ReturnValue(). Raises Exception when called from Execute or
  // OnTerminate of the thread itself (from its own destructor, when it frees
  // itself, it returns at once). Never on a FreeOnTerminate thread from
  // another thread (see above).
  int WaitFor();

  bool FreeOnTerminate() const { return free_on_terminate_.load(); }
  void SetFreeOnTerminate(bool value) { free_on_terminate_.store(value); }

  int ReturnValue() const { return return_value_.load(); }
  std::exception_ptr FatalException() const;
  // GetCurrentThreadId() of the thread; 0 before it starts.
  uint64_t ThreadID() const { return thread_id_.load(); }

  // Runs on the thread after Execute; an exception it throws is dropped.
  std::function<void(TThread* sender)> OnTerminate;

  // Waits until no started thread is still running (a FreeOnTerminate thread
  // runs until it has deleted itself), or `timeout_ms` has passed (INFINITE
  // from host/syncobjs.h waits without limit). True when none is left.
  // For orderly shutdown and tests.
  static bool WaitForRunningThreads(uint32_t timeout_ms);

 protected:
  virtual void Execute() = 0;
  void SetReturnValue(int value) { return_value_.store(value); }

 private:
  void Run();

  std::atomic<bool> terminated_{false};
  std::atomic<bool> suspended_;
  std::atomic<bool> free_on_terminate_{false};
  std::atomic<int> return_value_{0};
  std::atomic<uint64_t> thread_id_{0};
  std::atomic<bool> finished_{false};  // Execute and OnTerminate are over
  mutable std::mutex mu_;
  std::thread thread_;                  // protected by mu_
  bool started_ = false;                // protected by mu_
  std::exception_ptr fatal_exception_;  // protected by mu_
  std::mutex join_mu_;                  // one joiner at a time
};

}  // namespace orv
#pragma GCC visibility pop
