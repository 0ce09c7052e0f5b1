#include "common/progress_display.hpp"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>

namespace quilm {

namespace {

std::string clock_text(double seconds) {
  const long total = static_cast<long>(std::llround(std::max(0.0, seconds)));
  char text[32];
  std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
  return text;
}

}  // namespace

std::string progress_line(long done, long total, double seconds, std::string_view unit) {
  const std::string units(unit);
  char text[96];
  if (total >= 0) {
    const double share = total > 0 ? 100.0 * static_cast<double>(done) / total : 100.0;
    std::snprintf(text, sizeof text, "%ld of %ld %s (%.1f%%)", done, total, units.c_str(), share);
  } else {
    std::snprintf(text, sizeof text, "%ld %s", done, units.c_str());
  }
  std::string line = text;
  if (done <= 0 || seconds <= 0) return line;
  const double rate = static_cast<double>(done) / seconds;
  std::snprintf(text, sizeof text, ", %.0f %s/s", rate, units.c_str());
  line += text;
  if (total >= 0)
    line += ", " + clock_text(static_cast<double>(std::max(0L, total - done)) / rate) + " left";
  return line;
}

bool ProgressThrottle::due(double seconds) {
  if (seconds - last_ < interval_) return false;
  last_ = seconds;
  return true;
}

ProgressDisplay::ProgressDisplay(std::string label, std::FILE* out, bool terminal, Clock clock,
                                 std::string unit)
    : label_(std::move(label)),
      out_(out),
      terminal_(terminal),
      clock_(std::move(clock)),
      unit_(std::move(unit)),
      throttle_(terminal) {}

void ProgressDisplay::update(long done, long total) {
  const double seconds = clock_();
  if (!throttle_.due(seconds)) return;
  const std::string line = label_ + ": " + progress_line(done, total, seconds, unit_);
  if (!terminal_) {
    std::fprintf(out_, "%s\n", line.c_str());
    std::fflush(out_);
    return;
  }
  // Blanks over the rest of a longer earlier line.
  const std::size_t blanks = drawn_ > line.size() ? drawn_ - line.size() : 0;
  std::fprintf(out_, "\r%s%s", line.c_str(), std::string(blanks, ' ').c_str());
  std::fflush(out_);
  drawn_ = line.size();
}

void ProgressDisplay::finish() {
  if (!terminal_ || drawn_ == 0) return;
  std::fprintf(out_, "\r%s\r", std::string(drawn_, ' ').c_str());
  std::fflush(out_);
  drawn_ = 0;
}

ProgressDisplay::Clock stage_clock() {
  const auto start = std::chrono::steady_clock::now();
  return [start] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
}

bool stderr_is_terminal() {
  return ::isatty(STDERR_FILENO) == 1;
}

bool stdout_is_terminal() {
  return ::isatty(STDOUT_FILENO) == 1;
}

}  // namespace quilm
