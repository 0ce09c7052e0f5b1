#include "worker/stage_jobs.hpp"

#include <algorithm>

#include "common/paths.hpp"
#include "common/store_setting.hpp"
#include "common/task_table.hpp"
#include "common/work_files.hpp"
#include "worker/index_store.hpp"

namespace quilm {

StageJobs stage_jobs(const RunConfig& config, int seed_length, int process) {
  StageJobs stage;
  // Any number of segments; a negative entry (a segment that no process
  // maps, e.g. one made only of masked bases) is skipped by every process.
  const std::vector<int> tasks = read_task_table(config.work_folder, config.segment_count);
  const SharePlan plan = read_share_plan(config.work_folder, config.segment_count);
  stage.index_store = read_index_store_setting(config.work_folder);
  report_store_faults(stage.index_store);
  stage.variant = index_variant(seed_length, config.memory_reduction_toggle);
  if (stage.variant != IndexVariant::kNone)
    stage.jobs = worker_jobs(config.work_folder, tasks, plan, process);
  return stage;
}

bool copies_indexes(const std::vector<SegmentJob>& jobs) {
  const auto alone = std::count_if(jobs.begin(), jobs.end(),
                                   [](const SegmentJob& job) { return job.slice.count == 1; });
  return alone >= kJobsWorthCopying;
}

std::string segment_file(const RunConfig& config, int segment) {
  return numbered_path(config.work_folder, segment, kSegmentSuffix);
}

void refuse_results_over_inputs(const RunConfig& config, const StageJobs& stage,
                                std::vector<NamedFile> reads) {
  reads.push_back({"the run log", kConfigFile});
  reads.push_back({"the task table", join_path(config.work_folder, kTaskFile)});
  reads.push_back({"the share plan", join_path(config.work_folder, kSharePlanFile)});
  std::vector<NamedFile> results;
  for (const SegmentJob& job : stage.jobs) {
    reads.push_back({"a segment file", segment_file(config, job.segment)});
    results.push_back({"a result file", job.result_path});
  }
  refuse_overwritten_inputs(results, reads);
}

}  // namespace quilm
