// An output file written under a temporary name beside its final name and
// renamed into place only when it is complete, so that a failed or stopped
// run leaves an earlier result untouched and no partial file behind.
#pragma once

#include <string>

#include "pipeline/run_guard.hpp"

namespace quilm {

class PendingOutput {
 public:
  // The temporary is "<final_path>.tmp.<pid>"; a stop of the run removes it.
  explicit PendingOutput(std::string final_path, RunGuard* guard = nullptr);
  // Removes the temporary unless it was kept.
  ~PendingOutput();
  PendingOutput(const PendingOutput&) = delete;
  PendingOutput& operator=(const PendingOutput&) = delete;

  // Where to write.
  const std::string& path() const { return temporary_; }
  const std::string& final_path() const { return final_; }

  // Puts the written file in place of the final one. A final name that is a
  // symbolic link, a device or a pipe (/dev/stdout, /dev/null, a FIFO) is
  // written into instead of being replaced. Throws IoError naming both files when that fails.
  void keep();

 private:
  void copy_into_final();
  // Removes the temporary (and forgets it in the guard).
  void discard();

  std::string final_;
  std::string temporary_;
  RunGuard* guard_;
  bool kept_ = false;
};

}  // namespace quilm
