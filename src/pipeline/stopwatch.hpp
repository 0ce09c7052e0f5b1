// Wall-clock stage times of the run log, in seconds.
#pragma once

#include <chrono>

namespace quilm {

class Stopwatch {
 public:
  Stopwatch() : start_(std::chrono::steady_clock::now()) {}
  // Whole milliseconds elapsed, times 0.001, as the log lines print them.
  double seconds() const {
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start_);
    return static_cast<double>(ms.count()) * 0.001;
  }
  void restart() { start_ = std::chrono::steady_clock::now(); }

 private:
  std::chrono::steady_clock::time_point start_;
};

}  // namespace quilm
