#include "tools/progress.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace orv::orvsql {

namespace {

constexpr auto kFirstDraw = std::chrono::milliseconds(500);
constexpr auto kRedraw = std::chrono::milliseconds(200);

}  // namespace

bool Progress::Wanted(bool quiet) {
  if (quiet || !::isatty(STDERR_FILENO)) return false;
  // Rows printed to the same terminal show the progress themselves, and a
  // line redrawn under them would only garble the table.
  struct stat out, err;
  if (::isatty(STDOUT_FILENO) && ::fstat(STDOUT_FILENO, &out) == 0 &&
      ::fstat(STDERR_FILENO, &err) == 0 && out.st_rdev == err.st_rdev)
    return false;
  return true;
}

void Progress::Start() {
  start_ = Clock::now();
  next_draw_ = start_ + kFirstDraw;
}

void Progress::Update(int64_t rows) {
  if (!enabled_) return;
  // Reading the clock for every row costs little next to formatting it.
  Clock::time_point now = Clock::now();
  if (now < next_draw_) return;
  next_draw_ = now + kRedraw;
  double seconds = std::chrono::duration<double>(now - start_).count();
  std::fprintf(stderr, "\r\033[K%lld rows, %.0f rows/s", static_cast<long long>(rows),
               seconds > 0 ? rows / seconds : 0.0);
  std::fflush(stderr);
  shown_ = true;
}

void Progress::Finish() {
  if (!shown_) return;
  std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
  shown_ = false;
}

}  // namespace orv::orvsql
