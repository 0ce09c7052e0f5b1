// The splice worker's task loop: the run configuration, the task table, and
// the split-read mapping of every segment assigned to this process.
#pragma once

#include "common/task_table.hpp"

namespace quilm {

inline constexpr const char* kSpliceReadFile = "splice0.fastq";

// How a segment is mapped for a seed length and memory_reduction_toggle.
enum class SpliceVariant { kFull, kReduced, kNone };
SpliceVariant choose_splice_variant(int seed_length, int memory_reduction_toggle);

// Runs in the current directory (where config.txt lies). Throws UsageError
// for a seed length other than 14, 12, 10, 8, 6, and InputError or IoError
// naming the file for unusable configuration, task, read or segment files.
void run_junctor(const WorkerArgs& args);

}  // namespace quilm
