// Progress lines and the closing summary of a driver run, on stderr.
#pragma once

#include <string>

#include "pipeline/stopwatch.hpp"

namespace quilm {

class RunReport {
 public:
  explicit RunReport(std::string program) : program_(std::move(program)) {}
  // "<program>: [12.3 s] <message>"
  void stage(const std::string& message) const;
  // Wall time, CPU time of the driver and its workers, peak memory of the
  // driver and of the largest worker.
  void summary() const;

 private:
  std::string program_;
  Stopwatch clock_;
};

}  // namespace quilm
