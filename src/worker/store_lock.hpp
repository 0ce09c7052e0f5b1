// The lock beside a stored index while one process builds it
// ("<index>.lock"), so that the others asking for the same index wait for
// its file instead of building their own. The wait is bounded: a lock held
// by a stopped or hung run (also on another machine sharing the folder)
// must not hold every worker for ever. Whoever holds the lock writes its
// process and host into the file, so that a waiter can say who it waits for.
#pragma once

#include <chrono>
#include <string>

#include "worker/store_entry.hpp"

namespace quilm {

// How long a worker waits for another's build before it builds the index
// itself, in memory: a few times the longest build of a large segment.
inline constexpr std::chrono::seconds kStoreLockWait{300};

// Whole seconds that replace kStoreLockWait (0: do not wait at all).
inline constexpr const char* kStoreLockWaitVariable = "QUILM_STORE_LOCK_WAIT";

// The bound from `value` of the variable (kStoreLockWait when null). Throws
// UsageError naming the variable when it is not a whole number of seconds.
std::chrono::seconds store_lock_wait(const char* value);

// The bound from the environment.
std::chrono::seconds store_lock_wait();

class BuildLock {
 public:
  enum class State {
    kHeld,      // this process builds the index
    kNoLocks,   // the file system has no locks: every process builds it
    kGaveUp,    // another process held it all the time allowed
    kNotAFile,  // something other than a regular file has the lock's name
  };
  // Takes the lock, waiting at most `bound`. Says on stderr once when the
  // wait starts and once when it gives up.
  BuildLock(const std::string& path, std::chrono::milliseconds bound);
  State state() const { return state_; }

 private:
  FileDescriptor fd_;
  State state_ = State::kNoLocks;
};

}  // namespace quilm
