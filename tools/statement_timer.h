// StatementTimer: ends orvsql when a statement outlasts --statement-timeout.
//
// The package waits for a silent server without limit (its documented
// behaviour), so a statement cannot be interrupted from inside it. The timer
// watches from a thread of its own: when a statement it was armed for is
// still running at the deadline, it writes "orvsql: the statement did not
// finish within N seconds" to standard error and ends the process at once
// with status 1. It uses _exit, because the main thread is still inside the
// package and no destructor may run under it; the system then closes every
// connection, so nothing is left running or waiting.
//
// Arm and Disarm belong to the main thread; the watching thread lives as
// long as the timer and is joined by its destructor.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace orv::orvsql {

class StatementTimer {
 public:
  // A limit of 0 seconds never fires and starts no thread.
  explicit StatementTimer(double seconds);
  ~StatementTimer();
  StatementTimer(const StatementTimer&) = delete;
  StatementTimer& operator=(const StatementTimer&) = delete;

  // A statement starts: the deadline is `seconds` from now.
  void Arm();
  // The statement ended in time.
  void Disarm();

 private:
  using Clock = std::chrono::steady_clock;

  void Watch();
  [[noreturn]] void Expire() const;

  const Clock::duration limit_;
  const std::string message_;  // what Expire writes
  std::mutex mu_;
  std::condition_variable changed_;
  bool armed_ = false;            // protected by mu_
  bool stopping_ = false;         // protected by mu_
  Clock::time_point deadline_;    // protected by mu_
  std::thread watcher_;
};

}  // namespace orv::orvsql
