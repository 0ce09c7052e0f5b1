#include "pipeline/cascade.hpp"

#include "common/paths.hpp"
#include "common/task_table.hpp"
#include "pipeline/result_combine.hpp"
#include "pipeline/stopwatch.hpp"
#include "pipeline/worker_memory.hpp"

namespace quilm {

namespace {
constexpr int kCycleSeeds[] = {14, 12, 10, 8, 6};
}

bool is_cycle_seed(int seed_length) {
  for (int s : kCycleSeeds)
    if (s == seed_length) return true;
  return false;
}

void launch_stage(const CascadeSetup& setup, const std::string& stage, const char* worker,
                  int seed_length, const std::string& time_line) {
  const RunConfig& c = *setup.config;
  MemoryPlan plan;
  plan.stage = stage;
  plan.seed_length = seed_length;
  plan.reduced = seed_length == 14 && c.memory_reduction_toggle == 1;
  int busy = 0;
  segment_load(c.work_folder, c.segment_count, plan.largest_segment, busy);
  plan.concurrent_workers = busy < c.cpu_cores ? busy : c.cpu_cores;
  plan.shared_index = !setup.index_store.empty();
  // Extra launcher arguments may spread the workers over other machines,
  // whose memory this machine cannot see.
  if (!setup.launcher.use_mpi || setup.launcher.extra_args.empty())
    check_worker_memory(plan, setup.program);
  setup.report->stage(stage + ": starting " + std::to_string(c.cpu_cores) + " " + worker +
                      " processes" +
                      (setup.launcher.use_mpi ? " through " + setup.launcher.path : ""));
  Stopwatch clock;
  launch_workers(setup.launcher, {stage, worker, seed_length, c.cpu_cores});
  append_log_line(kConfigFile, time_line + std::to_string(seed_length) +
                                   " seed used : " + format_seconds(clock.seconds()) + " sec\n");
}

void run_cascade(const CascadeSetup& setup) {
  const RunConfig& c = *setup.config;
  if (!is_cycle_seed(c.seed_length)) {
    setup.report->stage("seed length " + std::to_string(c.seed_length) + " runs no mapping cycle");
    return;
  }
  for (int seed : kCycleSeeds) {
    const std::string stage = "mapping cycle with seed " + std::to_string(seed);
    launch_stage(setup, stage, "quilm_x", seed, "The Time of mapping ");
    CombineCounts counts;
    int more = result_combine(c.read_count, c.segment_count, c.work_folder, setup.merged_path, seed,
                              cycle_read_file(c.work_folder, seed), c.max_errors, c.indel_toggle,
                              c.export_all_toggle, &counts);
    setup.report->stage(stage + ": " + std::to_string(counts.matched) + " reads matched, " +
                        std::to_string(counts.next_cycle) + " left for the next cycle");
    if (seed == c.seed_length) break;
    if (more == 0) break;
  }
}

}  // namespace quilm
