// StatementClock: what "\timing" shows after a statement: the rows, the
// time to the first row, the total time and the rows per second, as
// "Time: 3 rows, first row 0.412 ms, total 0.530 ms, 5660 rows/s"; for a
// statement that returns no rows "Time: 2 rows affected, total 0.530 ms".
//
// A plain value; the thread that runs the statement.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace orv::orvsql {

class StatementClock {
 public:
  using Clock = std::chrono::steady_clock;

  void Start() {
    start_ = Clock::now();
    first_row_.reset();
  }
  // The first row is out; later calls change nothing.
  void FirstRow() {
    if (!first_row_) first_row_ = Clock::now();
  }
  // The line for `rows` rows read (or changed, when not `query`), with
  // the total time up to now.
  std::string Text(int64_t rows, bool query) const;

  // The same from given times, for the tests.
  static std::string Text(int64_t rows, bool query, std::optional<Clock::duration> first_row,
                          Clock::duration total);

 private:
  Clock::time_point start_;
  std::optional<Clock::time_point> first_row_;
};

}  // namespace orv::orvsql
