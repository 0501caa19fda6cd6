#include "tools/timing.h"

#include <cmath>
#include <cstdio>

namespace orv::orvsql {

namespace {

std::string Millis(StatementClock::Clock::duration d) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f ms", std::chrono::duration<double, std::milli>(d).count());
  return text;
}

}  // namespace

std::string StatementClock::Text(int64_t rows, bool query) const {
  std::optional<Clock::duration> first;
  if (first_row_) first = *first_row_ - start_;
  return Text(rows, query, first, Clock::now() - start_);
}

std::string StatementClock::Text(int64_t rows, bool query,
                                 std::optional<Clock::duration> first_row,
                                 Clock::duration total) {
  std::string text = "Time: " + std::to_string(rows) + (rows == 1 ? " row" : " rows");
  if (!query) return text + " affected, total " + Millis(total);
  if (first_row) text += ", first row " + Millis(*first_row);
  text += ", total " + Millis(total);
  const double seconds = std::chrono::duration<double>(total).count();
  if (rows > 0 && seconds > 0)
    text += ", " + std::to_string(std::llround(rows / seconds)) + " rows/s";
  return text;
}

}  // namespace orv::orvsql
