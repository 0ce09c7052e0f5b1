// Exclusive locks held by a driver for its whole run: one on the run log
// config.txt of the current directory, one on the lock file "run.lock" inside
// the work folder. A second run started in the same directory, or sharing the
// work folder from another directory, stops at once instead of mixing both
// runs' files. The kernel drops the locks when the process ends, however it
// ends.
#pragma once

#include <string>

#include "common/work_files.hpp"

namespace quilm {

class RunLock {
 public:
  RunLock() = default;
  ~RunLock();
  RunLock(const RunLock&) = delete;
  RunLock& operator=(const RunLock&) = delete;

  // Opens (creating if needed, never truncating) and locks the run log;
  // throws Error when another process holds it.
  void acquire(const std::string& path, const char* program);

  // Locks the work folder's lock file and writes this run's process number
  // and directory into it; throws Error naming the folder, and the other
  // run's directory, when another process holds it.
  void acquire_work_folder(const std::string& folder, const char* program);

 private:
  int log_fd_ = -1;
  int folder_fd_ = -1;
};

}  // namespace quilm
