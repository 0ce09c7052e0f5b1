#include <cstdio>

#include "common/output_file.hpp"
#include "common/paths.hpp"
#include "common/run_config.hpp"
#include "common/seed_lengths.hpp"
#include "common/work_files.hpp"
#include "pipeline/cascade.hpp"
#include "pipeline/driver_run.hpp"
#include "pipeline/drivers.hpp"
#include "pipeline/final_merge.hpp"
#include "pipeline/rescue_stage.hpp"
#include "pipeline/splice_stage.hpp"
#include "pipeline/stopwatch.hpp"

namespace quilm {

namespace {

// Split-read mapping of the reads the cascade left unmapped or mapped with
// two or more errors.
void run_splice_stage(const CascadeSetup& setup) {
  const RunConfig& c = *setup.config;
  const long reads = splice_chang_fastqfile(c.work_folder, c.read_count);
  const std::string merged = join_path(c.work_folder, kSplicedHitFile);
  create_empty_file(merged);
  const int seed = c.splice_seed_length;
  if (!is_cascade_seed(seed)) {
    setup.report->stage("splice seed length " + std::to_string(seed) + " runs no splice stage");
    return;
  }
  const std::string stage = "splice stage with seed " + std::to_string(seed);
  launch_stage(setup, stage, "junctor", seed, "The Time of splice mapping ", reads);
  SpliceCombineCounts counts;
  splice_result_combine(c, merged, join_path(c.work_folder, kSpliceReadFile), &counts);
  setup.report->stage(stage + ": " + std::to_string(counts.matched) + " reads split, " +
                      std::to_string(counts.next_match) + " left without a hit");
}

}  // namespace

int run_quilm2splice(int argc, const char* const* argv) {
  DriverRun run("quilm2splice");
  start_driver_run(run, DriverKind::kSplice, argc, argv);
  const RunConfig& config = run.config;
  run.setup.merged_path = join_path(config.work_folder, kMappedHitFile);
  create_empty_file(run.setup.merged_path);
  run_cascade(run.setup);
  append_log_line(kConfigFile,
                  "The total Time of Quilm2 : " + format_seconds(run.clock.seconds()) + " sec\n");

  Stopwatch splice;
  run_splice_stage(run.setup);
  append_log_line(kConfigFile,
                  "The total Time of splice : " + format_seconds(splice.seconds()) + " sec\n");
  std::fputs("pemu2splice", stdout);
  std::fflush(stdout);
  run.report.count_alignments(compare_quilm2splice(
      config.output_path, config.work_folder, config.read_count, &run.guard, &run.publication));
  run.report.stage("the six output files are written");
  if (run.rescue.enabled) {
    run.report.count_rescued(
        run_rescue_stage(run.setup, run.rescue, run_number(run.publication.stamp)));
    run.bam_export.rescued_path = config.output_path + kRescueOutputSuffix;
  }
  finish_driver_run(run);
  return 0;
}

}  // namespace quilm
