#include "host/thread.h"

#include <cassert>
#include <chrono>
#include <condition_variable>

#include "host/exceptions.h"
#include "host/syncobjs.h"

namespace orv {
namespace {

uint64_t IdOf(std::thread::id id) {
  return static_cast<uint64_t>(std::hash<std::thread::id>{}(id));
}

// Counts the threads between Start and the end of their run. Never
// destroyed: a self-freeing thread may still be finishing while the process
// runs its exit handlers.
struct RunningThreads {
  std::mutex mu;
  std::condition_variable cv;
  int count = 0;  // protected by mu
};

RunningThreads& Running() {
  static auto* running = new RunningThreads;
  return *running;
}

}  // namespace

uint64_t GetCurrentThreadId() { return IdOf(std::this_thread::get_id()); }

TThread::TThread(bool create_suspended) : suspended_(create_suspended) {}

TThread::~TThread() {
  std::thread running;
  {
    std::lock_guard<std::mutex> lock(mu_);
    running = std::move(thread_);
  }
  if (running.joinable()) {
    Terminate();
    running.join();
  }
}

void TThread::Start() {
  std::lock_guard<std::mutex> lock(mu_);
  if (started_) return;
  RunningThreads& r = Running();
  {
    std::lock_guard<std::mutex> count_lock(r.mu);
    ++r.count;
  }
  // mu_ stays held until thread_ is assigned; Run takes it before touching
  // thread_, so a thread that ends at once still finds itself there.
  try {
    thread_ = std::thread(&TThread::Run, this);
  } catch (...) {
    std::lock_guard<std::mutex> count_lock(r.mu);
    --r.count;
    throw;  // std::system_error: the system refused a new thread
  }
  started_ = true;
  suspended_.store(false);
  thread_id_.store(IdOf(thread_.get_id()));
}

void TThread::Run() {
  thread_id_.store(GetCurrentThreadId());
  if (!Terminated()) {
    try {
      Execute();
    } catch (...) {
      std::lock_guard<std::mutex> lock(mu_);
      fatal_exception_ = std::current_exception();
    }
  }
  if (OnTerminate) {
    try {
      OnTerminate(this);
    } catch (...) {
      // The thread has nobody to report to; Execute's own failure, if any,
      // is the one kept.
    }
  }
  finished_.store(true);
  if (FreeOnTerminate()) {
    {
      std::lock_guard<std::mutex> lock(mu_);
      assert(thread_.get_id() == std::this_thread::get_id());
      thread_.detach();
    }
    delete this;
  }
  RunningThreads& r = Running();
  {
    std::lock_guard<std::mutex> lock(r.mu);
    --r.count;
  }
  r.cv.notify_all();
}

int TThread::WaitFor() {
  // Tested before join_mu_: another thread may be joining this one already.
  // A destructor that stops the thread may run on the thread itself when it
  // frees itself; its run is over then and there is nothing to wait for.
  if (ThreadID() == GetCurrentThreadId()) {
    if (finished_.load()) return ReturnValue();
    throw Exception("A thread cannot wait for itself");
  }
  std::lock_guard<std::mutex> join_lock(join_mu_);
  std::thread running;
  {
    std::lock_guard<std::mutex> lock(mu_);
    running = std::move(thread_);
  }
  if (running.joinable()) running.join();
  return ReturnValue();
}

std::exception_ptr TThread::FatalException() const {
  std::lock_guard<std::mutex> lock(mu_);
  return fatal_exception_;
}

bool TThread::WaitForRunningThreads(uint32_t timeout_ms) {
  RunningThreads& r = Running();
  std::unique_lock<std::mutex> lock(r.mu);
  const auto none = [&r] { return r.count == 0; };
  if (timeout_ms == INFINITE) {
    r.cv.wait(lock, none);
    return true;
  }
  return r.cv.wait_for(lock, std::chrono::milliseconds(timeout_ms), none);
}

}  // namespace orv
