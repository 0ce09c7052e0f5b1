#include <cstdio>

#include "common/output_file.hpp"
#include "common/paths.hpp"
#include "common/run_config.hpp"
#include "pipeline/cascade.hpp"
#include "pipeline/drivers.hpp"
#include "pipeline/firsttask.hpp"
#include "pipeline/stopwatch.hpp"

namespace quilm {

int run_quilm2splice(int argc, const char* const* argv) {
  Stopwatch run;
  Stopwatch preparation;
  RunReport report("quilm2splice");
  int seed_length = 0;
  firsttask(DriverKind::kSplice, argc, argv, seed_length);
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
  report.stage("mapping cascade done; the splice stage is not built yet");
  report.summary();
  return 0;
}

}  // namespace quilm
