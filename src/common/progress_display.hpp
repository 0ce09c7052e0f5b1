// A stage's progress line on stderr: units done of the stage's total, units
// per second and the time left. On a terminal it is redrawn in place about
// once a second and cleared when the stage ends; in a log (stderr not a
// terminal) it is a line of its own at most once a minute, the first a
// minute into the stage, so a short stage writes none. The drivers, their
// workers' stages and the export all show their stages through it.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

namespace quilm {

// "1234 of 5928 reads (20.8%), 3100 reads/s, 0:00:02 left" after `seconds`
// of the stage; a negative total is unknown: "1234 reads, 3100 reads/s".
// No rate (and no time left) before any unit is done.
std::string progress_line(long done, long total, double seconds, std::string_view unit = "reads");

// Whether a line is due at `seconds` into the stage: at most one per second
// on a terminal, one per minute in a log, never before the first interval.
class ProgressThrottle {
 public:
  explicit ProgressThrottle(bool terminal) : interval_(terminal ? 1.0 : 60.0) {}
  bool due(double seconds);

 private:
  double interval_;
  double last_ = 0;
};

// One stage's line on `out`, "<label>: <progress_line>", timed by `clock`
// (seconds since the stage began), counting `unit`.
class ProgressDisplay {
 public:
  using Clock = std::function<double()>;
  ProgressDisplay(std::string label, std::FILE* out, bool terminal, Clock clock,
                  std::string unit = "reads");
  ~ProgressDisplay() { finish(); }
  ProgressDisplay(const ProgressDisplay&) = delete;
  ProgressDisplay& operator=(const ProgressDisplay&) = delete;
  void update(long done, long total);
  // Clears a line drawn on a terminal (also when the display ends).
  void finish();

 private:
  std::string label_;
  std::FILE* out_;
  bool terminal_;
  Clock clock_;
  std::string unit_;
  ProgressThrottle throttle_;
  std::size_t drawn_ = 0;  // characters of the line on the terminal
};

// A clock that counts seconds from its making.
ProgressDisplay::Clock stage_clock();

// Whether stderr (stdout) is a terminal.
bool stderr_is_terminal();
bool stdout_is_terminal();

}  // namespace quilm
