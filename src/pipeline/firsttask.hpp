// The preparation of a driver run: banner, options, numbered reads, segments,
// task assignment, the empty output file and config.txt (written last).
#pragma once

#include "pipeline/options.hpp"

namespace quilm {

// Returns cpu_cores and stores seed_length. A refused command line prints
// the fatal line on stdout and throws UsageError with the reason.
int firsttask(DriverKind kind, int argc, const char* const* argv, int& seed_length);

}  // namespace quilm
