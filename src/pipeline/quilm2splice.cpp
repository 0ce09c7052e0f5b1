#include <cstdio>

#include "common/output_file.hpp"
#include "common/paths.hpp"
#include "common/run_config.hpp"
#include "pipeline/cascade.hpp"
#include "pipeline/drivers.hpp"
#include "pipeline/firsttask.hpp"
#include "pipeline/splice_stage.hpp"
#include "pipeline/stopwatch.hpp"

namespace quilm {

namespace {

// Split-read mapping of the reads the cascade left unmapped or mapped with
// two or more errors.
void run_splice_stage(const CascadeSetup& setup) {
  const RunConfig& c = *setup.config;
  splice_chang_fastqfile(c.work_folder, c.read_count);
  const std::string merged = join_path(c.work_folder, "splice.tmp");
  create_empty_file(merged);
  const int seed = c.splice_seed_length;
  if (!is_cycle_seed(seed)) {
    setup.report->stage("splice seed length " + std::to_string(seed) + " runs no splice stage");
    return;
  }
  const std::string stage = "splice stage with seed " + std::to_string(seed);
  Stopwatch clock;
  launch_stage(setup, stage, "junctor", seed);
  append_log_line(kConfigFile, "The Time of splice mapping " + std::to_string(seed) +
                                   " seed used : " + format_seconds(clock.seconds()) + " sec\n");
  SpliceCombineCounts counts;
  splice_result_combine(c.read_count, c.segment_count, c.work_folder, merged, seed,
                        join_path(c.work_folder, "splice0.fastq"), &counts);
  setup.report->stage(stage + ": " + std::to_string(counts.matched) + " reads split, " +
                      std::to_string(counts.next_match) + " left without a hit");
}

}  // namespace

int run_quilm2splice(int argc, const char* const* argv) {
  Stopwatch run;
  Stopwatch preparation;
  RunReport report("quilm2splice");
  int seed_length = 0;
  RunLock lock;
  firsttask(DriverKind::kSplice, argc, argv, seed_length, lock);
  append_log_line(kConfigFile, "The Time of splited Ref. file and the assigned task used : " +
                                   format_seconds(preparation.seconds()) + " sec\n");
  report.stage("preparation done");

  CascadeSetup setup;
  setup.launcher = read_launcher();
  const RunConfig config = read_run_config(kConfigFile, true);
  setup.config = &config;
  setup.merged_path = join_path(config.work_folder, "quilm2.tmp");
  setup.program = "quilm2splice";
  setup.report = &report;
  create_empty_file(setup.merged_path);
  run_cascade(setup);
  append_log_line(kConfigFile,
                  "The total Time of Quilm2 : " + format_seconds(run.seconds()) + " sec\n");

  Stopwatch splice;
  run_splice_stage(setup);
  append_log_line(kConfigFile,
                  "The total Time of splice : " + format_seconds(splice.seconds()) + " sec\n");
  std::fputs("pemu2splice", stdout);
  std::fflush(stdout);
  compare_quilm2splice(config.output_path, config.work_folder, config.read_count);
  report.stage("the six output files are written");
  report.summary();
  return 0;
}

}  // namespace quilm
