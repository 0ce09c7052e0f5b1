// An exclusive lock on the run log config.txt of the current directory, held
// by a driver for its whole run, so that a second run started in the same
// directory stops at once instead of mixing both runs' files. The kernel
// drops the lock when the process ends, however it ends.
#pragma once

#include <string>

namespace quilm {

class RunLock {
 public:
  RunLock() = default;
  ~RunLock();
  RunLock(const RunLock&) = delete;
  RunLock& operator=(const RunLock&) = delete;

  // Opens (creating if needed, never truncating) and locks the file; throws
  // Error when another process holds it.
  void acquire(const std::string& path, const char* program);

 private:
  int fd_ = -1;
};

}  // namespace quilm
