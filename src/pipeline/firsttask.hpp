// The preparation of a driver run: banner, options, numbered reads, segments,
// task assignment, the empty output file and config.txt (written last).
#pragma once

#include <optional>

#include "common/run_stamp.hpp"
#include "pipeline/options.hpp"
#include "pipeline/read_preparation.hpp"
#include "pipeline/run_lock.hpp"

namespace quilm {

// What the preparation hands on to the rest of the run.
struct PreparedRun {
  int cpu_cores = 0;
  int seed_length = 0;
  ReadPreparation reads;  // what the read numbering found
  BamExport bam_export;   // the export asked for after the run
  RescueRequest rescue;   // with the known junctions of --junctions read
  bool remove_work = false;
  // The reference's content hash, when the work folder's memo holds it for
  // the reference as it is.
  std::optional<ContentHash> reference_hash;
};

// Prepares a run. The known junctions are read here, so that a bad file
// stops the run before anything is written. A refused command line prints
// the fatal line on stdout and throws UsageError with the reason. Once the
// inputs are found usable, `lock` is taken on config.txt for the whole run.
PreparedRun firsttask(DriverKind kind, int argc, const char* const* argv, RunLock& lock);

}  // namespace quilm
