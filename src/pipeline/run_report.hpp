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
  // Reads of length 0, which the run numbers but cannot map.
  void count_empty_reads(int count) { empty_reads_ = count; }
  // The reads of length 0, if any; then wall time, CPU time of the driver
  // and its workers, peak memory of the driver and of the largest worker.
  void summary() const;

 private:
  std::string program_;
  Stopwatch clock_;
  int empty_reads_ = 0;
};

}  // namespace quilm
