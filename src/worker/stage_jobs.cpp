#include "worker/stage_jobs.hpp"

#include "common/paths.hpp"
#include "common/store_setting.hpp"
#include "common/task_table.hpp"
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

std::string segment_file(const RunConfig& config, int segment) {
  return numbered_path(config.work_folder, segment, ".txt");
}

}  // namespace quilm
