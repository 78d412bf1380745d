// A progress line on standard error for long loops: at most one every few
// seconds of real time, so short runs print none.
#pragma once

#include <chrono>
#include <cstdio>

namespace kelmstrad::tune {

class Progress {
 public:
  Progress(const char* what, size_t total) : what_(what), total_(total), last_(Clock::now()) {}

  // Called after item `done` of the loop.
  void step(size_t done) {
    const Clock::time_point now = Clock::now();
    if (now - last_ < std::chrono::seconds(INTERVAL_SECONDS)) return;
    last_ = now;
    fprintf(stderr, "progress: %s %zu/%zu (%zu%%)\n", what_, done, total_,
            total_ ? done * 100 / total_ : 0);
  }

 private:
  using Clock = std::chrono::steady_clock;
  static constexpr int INTERVAL_SECONDS = 5;
  const char* what_;
  size_t total_;
  Clock::time_point last_;
};

}  // namespace kelmstrad::tune
