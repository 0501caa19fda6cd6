#include "host/syncobjs.h"

#include <chrono>

namespace orv {

void TEvent::SetEvent() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    signaled_ = true;
  }
  // A manual-reset event releases everyone; an auto-reset one is consumed by
  // a single waiter, so waking more would only make them wait again.
  if (manual_reset_) {
    cv_.notify_all();
  } else {
    cv_.notify_one();
  }
}

void TEvent::ResetEvent() {
  std::lock_guard<std::mutex> lock(mu_);
  signaled_ = false;
}

TWaitResult TEvent::WaitFor(uint32_t timeout_ms) {
  std::unique_lock<std::mutex> lock(mu_);
  const auto is_set = [this] { return signaled_; };
  if (timeout_ms == INFINITE) {
    cv_.wait(lock, is_set);
  } else if (!cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                           is_set)) {
    return wrTimeout;
  }
  if (!manual_reset_) signaled_ = false;
  return wrSignaled;
}

}  // namespace orv
