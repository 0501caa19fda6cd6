// The progress line of a long result: "N rows, R rows/s" on standard error,
// redrawn in place a few times a second and erased when the result ends.
//
// It shows only when it is enabled (standard error is a terminal that the
// rows themselves are not being printed to, and not --quiet) and the result
// has been arriving for a while. Used by one thread.
#pragma once

#include <chrono>
#include <cstdint>

namespace orv::orvsql {

class Progress {
 public:
  explicit Progress(bool enabled) : enabled_(enabled) {}
  ~Progress() { Finish(); }
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  // Starts a result.
  void Start();
  // Called for every row received so far; redraws when due.
  void Update(int64_t rows);
  // Erases the line if it is shown.
  void Finish();

  // Whether a progress line belongs on this process's standard error.
  static bool Wanted(bool quiet);

 private:
  using Clock = std::chrono::steady_clock;

  bool enabled_;
  bool shown_ = false;
  Clock::time_point start_;
  Clock::time_point next_draw_;
};

}  // namespace orv::orvsql
