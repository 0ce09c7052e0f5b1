#include "pipeline/cascade.hpp"

#include <algorithm>

#include "common/paths.hpp"
#include "common/seed_lengths.hpp"
#include "common/share_plan.hpp"
#include "common/task_table.hpp"
#include "pipeline/progress_report.hpp"
#include "pipeline/read_sharing.hpp"
#include "pipeline/result_combine.hpp"
#include "pipeline/stopwatch.hpp"
#include "pipeline/task_assignment.hpp"
#include "pipeline/worker_memory.hpp"

namespace quilm {

namespace {

// How many idle processes may help with the reads of a segment: those that
// fit in memory beside the busy ones (every worker holds a segment's index),
// all of them when the memory cannot be judged here.
int helpers_that_fit(const CascadeSetup& setup, const MemoryPlan& plan, int busy) {
  const int idle = std::max(0, setup.config->cpu_cores - busy);
  if (setup.launcher.use_mpi && !setup.launcher.extra_args.empty()) return idle;
  const std::uint64_t available = available_memory_bytes();
  // A helper maps the stored index of the segment it helps with; without
  // the store it builds its own.
  std::uint64_t each = estimate_private_bytes(plan.largest_segment);
  if (setup.index_store.empty())
    each += estimate_index_bytes(plan.largest_segment, plan.seed_length, plan.reduced);
  if (available == 0 || each == 0) return idle;
  const std::uint64_t fit = available / each;
  return fit <= static_cast<std::uint64_t>(busy)
             ? 0
             : static_cast<int>(std::min<std::uint64_t>(idle, fit - busy));
}

// A stage's share plan and whether it spreads every segment over all
// processes.
struct StagePlan {
  SharePlan plan;
  bool even = false;
};

// Every process of this machine may map every segment when the index comes
// from the store (one image shared, built once) and no launcher arguments
// may place the workers on other machines.
bool may_share_evenly(const CascadeSetup& setup) {
  return !setup.index_store.empty() &&
         (!setup.launcher.use_mpi || setup.launcher.extra_args.empty());
}

// Writes the stage's share plan (an empty one when nothing is shared or the
// stage maps nothing) and clears stale part files. Idle processes help with
// the reads of the heaviest segments; with every process busy and more
// segments than processes, all of them may share all segments.
StagePlan plan_stage(const CascadeSetup& setup, const MemoryPlan& memory, int busy,
                     IndexVariant variant) {
  const RunConfig& c = *setup.config;
  StagePlan stage;
  const bool helpers = busy < c.cpu_cores;
  if (variant != IndexVariant::kNone && c.segment_count > 0 &&
      (helpers || may_share_evenly(setup))) {
    const std::vector<int> tasks = read_task_table(c.work_folder, c.segment_count);
    const std::vector<double> weights = segment_weights(c.work_folder, c.segment_count);
    if (helpers) {
      stage.plan =
          plan_read_sharing(tasks, weights, c.cpu_cores, helpers_that_fit(setup, memory, busy));
    } else {
      stage.plan = plan_even_sharing(tasks, weights, c.cpu_cores);
      stage.even = !stage.plan.empty();
    }
  }
  write_share_plan(c.work_folder, stage.plan);
  remove_slice_parts(c.work_folder, stage.plan);
  return stage;
}

std::string sharing_note(const StagePlan& stage) {
  const SharePlan& plan = stage.plan;
  if (plan.empty()) return "";
  if (stage.even)
    return "; each maps its share of the reads of all " + std::to_string(plan.size()) + " segments";
  int helpers = 0;
  for (const SharedSegment& s : plan) helpers += static_cast<int>(s.processes.size()) - 1;
  return "; " + std::to_string(helpers) + " of them help with the reads of " +
         std::to_string(plan.size()) + (plan.size() == 1 ? " segment" : " segments");
}

// The segments a stage maps: those the task table gives to a process.
int mapped_segments(const RunConfig& c) {
  const std::vector<int> tasks = read_task_table(c.work_folder, c.segment_count);
  return static_cast<int>(std::count_if(tasks.begin(), tasks.end(), [](int p) { return p >= 0; }));
}

}  // namespace

void launch_stage(const CascadeSetup& setup, const std::string& stage, const char* worker,
                  int seed_length, const std::string& time_line, long reads) {
  const RunConfig& c = *setup.config;
  const IndexVariant variant = index_variant(seed_length, c.memory_reduction_toggle);
  MemoryPlan memory;
  memory.stage = stage;
  memory.seed_length = seed_length;
  memory.reduced = variant == IndexVariant::kReduced;
  int busy = 0;
  segment_load(c.work_folder, c.segment_count, memory.largest_segment, busy);
  const StagePlan stage_plan = plan_stage(setup, memory, busy, variant);
  const SharePlan& plan = stage_plan.plan;
  // A process holds one segment at a time, however many it maps.
  memory.concurrent_workers = std::min(busy, c.cpu_cores);
  for (const SharedSegment& s : plan)
    memory.concurrent_workers += static_cast<int>(s.processes.size()) - 1;
  memory.concurrent_workers = std::min(memory.concurrent_workers, c.cpu_cores);
  // Each busy process maps a segment of its own; helpers map the one they
  // help with; with even sharing each process starts on a different one.
  // (An even plan lists every segment the stage maps.)
  memory.segments_at_once = stage_plan.even ? std::min(c.cpu_cores, static_cast<int>(plan.size()))
                                            : std::min(busy, c.cpu_cores);
  memory.shared_index = !setup.index_store.empty();
  // Extra launcher arguments may spread the workers over other machines,
  // whose memory this machine cannot see.
  const bool this_machine = !setup.launcher.use_mpi || setup.launcher.extra_args.empty();
  if (this_machine) check_worker_memory(memory, setup.program);
  setup.report->stage(
      stage + ": starting " + std::to_string(c.cpu_cores) + " " + worker + " processes" +
      (setup.launcher.use_mpi ? " through " + setup.launcher.path : "") + sharing_note(stage_plan) +
      (this_machine && variant != IndexVariant::kNone ? peak_note(memory) : ""));
  Stopwatch clock;
  {
    const int passes = variant == IndexVariant::kNone ? 0 : mapped_segments(c);
    const WorkerProgress progress(std::string(setup.program) + ": " + stage,
                                  {c.work_folder, c.cpu_cores, passes > 0 ? reads : 0, passes});
    launch_workers(setup.launcher, {stage, worker, seed_length, c.cpu_cores}, setup.guard);
  }
  join_slice_parts(c.work_folder, plan, stage);
  append_log_line(kConfigFile, time_line + std::to_string(seed_length) +
                                   " seed used : " + format_seconds(clock.seconds()) + " sec\n");
}

void run_cascade(const CascadeSetup& setup) {
  const RunConfig& c = *setup.config;
  if (!is_cascade_seed(c.seed_length)) {
    setup.report->stage("seed length " + std::to_string(c.seed_length) + " runs no mapping cycle");
    return;
  }
  long reads = setup.first_cycle_reads;
  for (int seed : kCascadeSeeds) {
    const std::string stage = "mapping cycle with seed " + std::to_string(seed);
    launch_stage(setup, stage, "quilm_x", seed, "The Time of mapping ", reads);
    CombineCounts counts;
    int more =
        result_combine(c, setup.merged_path, seed, cycle_read_file(c.work_folder, seed), &counts);
    setup.report->stage(stage + ": " + std::to_string(counts.matched) + " reads matched, " +
                        std::to_string(counts.next_cycle) + " left for the next cycle");
    reads = counts.next_cycle;
    if (seed == c.seed_length) break;
    if (more == 0) break;
  }
}

}  // namespace quilm
