#include "pipeline/progress_report.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "common/progress_counter.hpp"

namespace quilm {

WorkerProgress::WorkerProgress(std::string label, WorkerStage stage)
    : stage_(std::move(stage)),
      display_(std::move(label), stderr, stderr_is_terminal(), stage_clock()) {
  remove_files();
  poller_ = std::thread([this] { poll(); });
}

WorkerProgress::~WorkerProgress() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  poller_.join();
  display_.finish();
  remove_files();
}

void WorkerProgress::poll() {
  std::unique_lock<std::mutex> lock(mutex_);
  // Twice a second, so that the terminal line moves each second.
  while (!wake_.wait_for(lock, std::chrono::milliseconds(500), [this] { return stopping_; }))
    display_.update(reads_done(), stage_.reads);
}

long WorkerProgress::reads_done() const {
  long sum = 0;
  for (int p = 0; p < stage_.processes; ++p)
    sum += read_progress_file(progress_file(stage_.work_folder, p));
  return std::min(stage_.reads, sum / std::max(1, stage_.passes));
}

void WorkerProgress::remove_files() const {
  for (int p = 0; p < stage_.processes; ++p) {
    const std::string path = progress_file(stage_.work_folder, p);
    std::remove(path.c_str());
    std::remove((path + ".tmp").c_str());
  }
}

}  // namespace quilm
