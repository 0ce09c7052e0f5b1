#include <cstdio>

#include "common/paths.hpp"
#include "common/run_config.hpp"
#include "pipeline/cascade.hpp"
#include "pipeline/drivers.hpp"
#include "pipeline/firsttask.hpp"
#include "pipeline/result_combine.hpp"
#include "pipeline/stopwatch.hpp"

namespace quilm {

int run_quilm2(int argc, const char* const* argv) {
  Stopwatch run;
  Stopwatch preparation;
  RunReport report("quilm2");
  int seed_length = 0;
  RunLock lock;
  firsttask(DriverKind::kMappingOnly, argc, argv, seed_length, lock);
  append_log_line(kConfigFile, "The Time of splited Ref. file and the assigned task used : " +
                                   format_seconds(preparation.seconds()) + " sec\n");
  report.stage("preparation done");

  CascadeSetup setup;
  setup.launcher = read_launcher();
  const RunConfig config = read_run_config(kConfigFile, false);
  setup.config = &config;
  // The output file itself collects the merged hits of every cycle.
  setup.merged_path = config.output_path;
  setup.program = "quilm2";
  setup.report = &report;
  if (config.seed_length == 12) {
    std::fputs("pemu", stdout);
    std::fflush(stdout);
  }
  run_cascade(setup);
  append_log_line(kConfigFile, "total match position number: " +
                                   std::to_string(tongji(config.output_path)) + "\n");
  append_log_line(kConfigFile, "The total Time : " + format_seconds(run.seconds()) + " sec\n");
  copy_file_over(kConfigFile, config.output_path + ".config");
  report.summary();
  return 0;
}

}  // namespace quilm
