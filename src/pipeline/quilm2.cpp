#include <cstdio>

#include "common/paths.hpp"
#include "common/run_config.hpp"
#include "pipeline/cascade.hpp"
#include "pipeline/driver_run.hpp"
#include "pipeline/drivers.hpp"
#include "pipeline/result_combine.hpp"

namespace quilm {

int run_quilm2(int argc, const char* const* argv) {
  DriverRun run("quilm2");
  start_driver_run(run, DriverKind::kMappingOnly, argc, argv);
  const RunConfig& config = run.config;
  // The output file itself collects the merged hits of every cycle.
  run.setup.merged_path = config.output_path;
  if (config.seed_length == 12) {
    std::fputs("pemu", stdout);
    std::fflush(stdout);
  }
  run_cascade(run.setup);
  append_log_line(kConfigFile, "total match position number: " +
                                   std::to_string(tongji(config.output_path)) + "\n");
  append_log_line(kConfigFile,
                  "The total Time : " + format_seconds(run.clock.seconds()) + " sec\n");
  copy_file_over(kConfigFile, config.output_path + ".config");
  run.report.summary();
  return 0;
}

}  // namespace quilm
