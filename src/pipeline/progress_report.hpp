// The driver's progress line during a stage: reads done of the stage's
// total, reads per second and the time left. On a terminal it is redrawn in
// place about once a second and cleared when the stage ends; in a log (stderr
// not a terminal) it is a line of its own at most once a minute, the first a
// minute into the stage, so a short stage writes none.
#pragma once

#include <condition_variable>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace quilm {

// "1234 of 5928 reads (20.8%), 3100 reads/s, 0:00:02 left" after `seconds`
// of the stage; a negative total is unknown: "1234 reads, 3100 reads/s".
// No rate (and no time left) before any read is done.
std::string progress_line(long done, long total, double seconds);

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
// (seconds since the stage began).
class ProgressDisplay {
 public:
  using Clock = std::function<double()>;
  ProgressDisplay(std::string label, std::FILE* out, bool terminal, Clock clock);
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
  ProgressThrottle throttle_;
  std::size_t drawn_ = 0;  // characters of the line on the terminal
};

// A clock that counts seconds from its making.
ProgressDisplay::Clock stage_clock();

// Whether stderr is a terminal.
bool stderr_is_terminal();

// The counts of a stage's worker processes: each maps its share of `reads`
// against every segment it is given, so the stage is done when the counts
// add up to `reads` times `passes` (the segments mapped).
struct WorkerStage {
  std::string work_folder;
  int processes = 1;
  long reads = 0;
  int passes = 1;
};

// While it lives, a thread polls the workers' progress files and shows the
// line on stderr; on its end the line is cleared and the files are removed
// (stale ones also when it starts).
class WorkerProgress {
 public:
  WorkerProgress(std::string label, WorkerStage stage);
  ~WorkerProgress();
  WorkerProgress(const WorkerProgress&) = delete;
  WorkerProgress& operator=(const WorkerProgress&) = delete;

 private:
  void poll();
  long reads_done() const;
  void remove_files() const;

  WorkerStage stage_;
  ProgressDisplay display_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::thread poller_;
};

}  // namespace quilm
