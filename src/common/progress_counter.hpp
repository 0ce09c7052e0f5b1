// How far a worker process is in its stage, for the driver's progress line.
//
// Each worker process keeps the number of reads it has mapped in the stage
// (over all its segments and slices) in "<work folder>/progress_<process>.txt",
// one decimal number and a line feed, rewritten through a temporary file
// ("<file>.tmp", renamed) at most once a second and only every 4096 reads,
// so that the driver never reads half a number. The driver polls the files
// while it waits for the workers and removes them after the stage. The count
// is advisory: a file that cannot be written stops the counting, never the
// worker, and no result file depends on it.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace quilm {

// "<work folder>/progress_<process>.txt"
std::string progress_file(std::string_view work_folder, int process);

// The count in a progress file; 0 when it is missing or holds no number yet.
long read_progress_file(const std::string& path);

class ProgressCounter {
 public:
  ProgressCounter() = default;  // counts nothing
  explicit ProgressCounter(std::string path) : path_(std::move(path)) {}

  // Called per batch of reads: a sum and a comparison, and a look at the
  // clock only once `kStep` more reads are done.
  void add(long reads) {
    done_ += reads;
    if (done_ - checked_ >= kStep) checkpoint();
  }
  long done() const { return done_; }

  static constexpr long kStep = 4096;

 private:
  void checkpoint();

  std::string path_;  // empty: not counting
  long done_ = 0;
  long checked_ = 0;
  std::chrono::steady_clock::time_point written_{};
};

}  // namespace quilm
