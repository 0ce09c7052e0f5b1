// The driver's progress line during a stage of its worker processes, drawn
// by the shared display (common/progress_display.hpp) from the counts the
// workers keep in their progress files.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "common/progress_display.hpp"

namespace quilm {

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
