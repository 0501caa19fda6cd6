// Helpers shared by the connection component's tests.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "rdb/orv_rdb.h"
#include "tests/support/scripted_peer.h"

namespace orv::testing {

inline void PointAt(TOrvRDB& rdb, const ScriptedPeer& peer) {
  rdb.SetAddress("127.0.0.1");
  rdb.SetPort(peer.Port());
}

// The message of the exception `action` raises.
inline std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Exception& e) {
    return e.Message();
  }
  return "(no error)";
}

// Ends the test program with a failure if a scope outlives its limit, so
// that a wait that regressed into an endless one fails quickly instead of
// hanging the whole suite.
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
