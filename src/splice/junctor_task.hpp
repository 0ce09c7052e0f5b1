// The splice worker's task loop: the run configuration, the task table, and
// the split-read mapping of every segment (or slice of the reads of a shared
// segment) assigned to this process.
#pragma once

#include "common/run_config.hpp"
#include "common/work_files.hpp"
#include "common/worker_args.hpp"
#include "splice/splicing_mapping.hpp"

namespace quilm {

// The text of --help.
extern const char* const kJunctorHelp;

// The split-read settings of a run for the splice seed `seed_length` (the
// index store is the stage's, see stage_jobs).
SpliceSettings splice_settings(const RunConfig& config, int seed_length);

// Runs in the current directory (where config.txt lies). Throws UsageError
// for a seed length other than 14, 12, 10, 8, 6, and InputError or IoError
// naming the file for unusable configuration, task, read or segment files.
void run_junctor(const WorkerArgs& args);

}  // namespace quilm
