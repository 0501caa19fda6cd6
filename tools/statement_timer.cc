#include "tools/statement_timer.h"

#include <unistd.h>

#include <cstdio>

namespace orv::orvsql {

namespace {

constexpr int kStatementFailed = 1;

std::string ExpiryMessage(double seconds) {
  char text[128];
  std::snprintf(text, sizeof text, "orvsql: the statement did not finish within %g seconds\n",
                seconds);
  return text;
}

}  // namespace

StatementTimer::StatementTimer(double seconds)
    : limit_(std::chrono::duration_cast<Clock::duration>(
          std::chrono::duration<double>(seconds))),
      message_(ExpiryMessage(seconds)) {
  if (seconds > 0) watcher_ = std::thread(&StatementTimer::Watch, this);
}

StatementTimer::~StatementTimer() {
  {
    std::lock_guard lock(mu_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (watcher_.joinable()) watcher_.join();
}

void StatementTimer::Arm() {
  if (!watcher_.joinable()) return;
  {
    std::lock_guard lock(mu_);
    armed_ = true;
    deadline_ = Clock::now() + limit_;
  }
  changed_.notify_all();
}

void StatementTimer::Disarm() {
  if (!watcher_.joinable()) return;
  std::lock_guard lock(mu_);
  armed_ = false;
}

void StatementTimer::Watch() {
  std::unique_lock lock(mu_);
  while (!stopping_) {
    if (!armed_) {
      changed_.wait(lock);
    } else if (Clock::now() >= deadline_) {
      Expire();
    } else {
      changed_.wait_until(lock, deadline_);
    }
  }
}

void StatementTimer::Expire() const {
  // Rows already written went out with each flush; only the message follows.
  [[maybe_unused]] ssize_t n = ::write(STDERR_FILENO, message_.data(), message_.size());
  ::_exit(kStatementFailed);
}

}  // namespace orv::orvsql
