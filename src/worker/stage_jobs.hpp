// What one worker process maps in one stage, read once for the seed-mapping,
// split-read and rescue workers alike: its segments and read slices (from the
// task table and the share plan), the index variant of the stage's seed
// length and the index store the run uses.
#pragma once

#include <string>
#include <vector>

#include "common/file_identity.hpp"
#include "common/paths.hpp"
#include "common/progress_counter.hpp"
#include "common/run_config.hpp"
#include "common/seed_lengths.hpp"
#include "common/share_plan.hpp"
#include "common/worker_args.hpp"
#include "worker/seed_index.hpp"

namespace quilm {

struct StageJobs {
  IndexVariant variant = IndexVariant::kNone;
  std::string index_store;       // empty: indexes are built in memory
  std::vector<SegmentJob> jobs;  // none when the seed length maps nothing
};

// Reads "taskmpi.txt", "sliceplan.txt" and the store setting of the run's
// work folder (each throws InputError naming its file when malformed).
StageJobs stage_jobs(const RunConfig& config, int seed_length, int process);

// "<work folder>/<segment>.txt"
std::string segment_file(const RunConfig& config, int segment);

// Throws UsageError naming both files when a result file of the stage is the
// same file as one the worker reads: its segment files, config.txt, the task
// table and share plan, or one of `reads` (its read files, as "label, path").
void refuse_results_over_inputs(const RunConfig& config, const StageJobs& stage,
                                std::vector<NamedFile> reads);

// Whether a process with these jobs copies the stored indexes of the
// segments it maps alone into memory it reuses (JobMemory) instead of
// mapping them. The first copy goes into fresh huge pages, which can cost
// as much as mapping several indexes; every later one costs only the copy,
// and lookups in huge pages are faster. Measured on a 2-core virtual
// machine: a fresh 650 MiB copy 0.7 to 1.7 s, a later one 0.07 to 0.1 s,
// against about 0.3 s of page faults for every mapping.
inline constexpr int kJobsWorthCopying = 4;
bool copies_indexes(const std::vector<SegmentJob>& jobs);

// The stage of a mapping worker that reads one read file: this process's
// jobs, refused when a result would overwrite an input, then
// map_job(reduced, segment path, job, settings) for every job in order,
// with the settings' index store, progress counter and the memory its jobs
// reuse set (a seed length without an index has no jobs and writes no
// result file).
template <class Settings, class MapJob>
void run_stage_jobs(const RunConfig& config, const WorkerArgs& args, const std::string& read_path,
                    Settings settings, MapJob map_job) {
  const StageJobs stage = stage_jobs(config, args.seed_length, args.process_number);
  refuse_results_over_inputs(config, stage, {{"the read file", read_path}});
  settings.index_store = stage.index_store;
  ProgressCounter progress(progress_file(config.work_folder, args.process_number));
  settings.progress = &progress;
  JobMemory memory;
  memory.copy_indexes = copies_indexes(stage.jobs);
  settings.memory = &memory;
  for (const SegmentJob& job : stage.jobs)
    map_job(stage.variant == IndexVariant::kReduced, segment_file(config, job.segment), job,
            settings);
}

}  // namespace quilm
