// Stopping a run cleanly on SIGINT, SIGTERM or SIGHUP.
//
// The driver blocks these signals in every thread, and one watcher thread
// waits for them. When one comes, at any point of the run (also while the
// driver reads a pipe or merges files itself), the watcher stops the running
// workers (SIGTERM, then SIGKILL after a grace period), waits for them,
// removes the run's unfinished outputs and ends the driver with status
// 128 + the signal number. A signal that was ignored when the driver started
// (nohup) stays ignored.
#pragma once

#include <signal.h>
#include <sys/types.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quilm {

class RunGuard {
 public:
  explicit RunGuard(const char* program);
  // Stops the watcher and restores the signal mask.
  ~RunGuard();
  RunGuard(const RunGuard&) = delete;
  RunGuard& operator=(const RunGuard&) = delete;

  // Starts a child with `spawn` and registers it, in one step that a stop
  // cannot split. `group`: the child leads its own process group, and a stop
  // signals the whole group (an MPI launcher and what it started).
  // `temporaries`, when set, gives for the child's process id the path that
  // begins the names of the files the child leaves until it completes; a
  // stop removes them once the child has ended.
  pid_t start_child(const std::function<pid_t()>& spawn, bool group,
                    const std::function<std::string(pid_t)>& temporaries = {});
  // A child that has been waited for.
  void forget_child(pid_t pid);
  // The child's temporaries are its own business again (it has ended).
  void forget_temporaries(const std::string& prefix);

  // A file that a stop removes, until it is kept (renamed into place).
  void add_temporary(const std::string& path);
  // Renames `temporary` to `final_path` unless the run is being stopped;
  // returns the rename's errno (0 on success).
  int keep_temporary(const std::string& temporary, const std::string& final_path);
  void drop_temporary(const std::string& path);

  // Once a stop has begun, the main thread must not report failures of its
  // own (workers dying of the same signal): it waits here for the end.
  void hold_if_stopping() const;

 private:
  void watch();
  [[noreturn]] void stop(int signal);

  const char* program_;
  sigset_t watched_{};
  sigset_t old_mask_{};
  std::mutex mutex_;
  struct Child {
    pid_t pid;
    bool group;
  };
  std::vector<Child> children_;
  std::vector<std::string> temporaries_;
  std::vector<std::string> child_temporaries_;  // path prefixes
  std::atomic<bool> stopping_{false};
  std::atomic<bool> done_{false};
  std::thread watcher_;
};

}  // namespace quilm
