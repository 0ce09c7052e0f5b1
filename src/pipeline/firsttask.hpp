// The preparation of a driver run: banner, options, numbered reads, segments,
// task assignment, the empty output file and config.txt (written last).
#pragma once

#include "pipeline/options.hpp"
#include "pipeline/read_preparation.hpp"
#include "pipeline/run_lock.hpp"

namespace quilm {

// Returns cpu_cores and stores seed_length, what the read numbering found
// and the export and the rescue stage asked for after the run (with the
// known junctions of --junctions read, so that a bad file stops the run
// before anything is written). A refused command line prints the
// fatal line on stdout and throws UsageError with the reason. Once the
// inputs are found usable, `lock` is taken on config.txt for the whole run.
int firsttask(DriverKind kind, int argc, const char* const* argv, int& seed_length, RunLock& lock,
              ReadPreparation& reads, BamExport& bam_export, RescueRequest& rescue,
              bool& remove_work);

}  // namespace quilm
