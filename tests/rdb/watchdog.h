// Watchdog: ends the test program with a failure if a scope outlives its
// limit, so that a wait that regressed into an endless one fails quickly
// instead of hanging the whole suite.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace orv::testing {

class Watchdog {
 public:
  Watchdog(const char* what, int seconds)
      : thread_([this, what, seconds] {
          std::unique_lock lock(mu_);
          if (!cv_.wait_for(lock, std::chrono::seconds(seconds),
                            [this] { return done_; })) {
            std::fprintf(stderr, "watchdog: %s did not finish within %d s\n",
                         what, seconds);
            std::_Exit(EXIT_FAILURE);
          }
        }) {}

  ~Watchdog() {
    {
      std::lock_guard guard(mu_);
      done_ = true;
    }
    cv_.notify_all();
    thread_.join();
  }

 private:
  std::mutex mu_;
  std::condition_variable cv_;
  bool done_ = false;  // protected by mu_
  std::thread thread_;
};

}  // namespace orv::testing
