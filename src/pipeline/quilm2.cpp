#include <cstdio>

#include "common/input_file.hpp"
#include "common/output_file.hpp"
#include "common/paths.hpp"
#include "common/run_config.hpp"
#include "pipeline/cascade.hpp"
#include "pipeline/driver_run.hpp"
#include "pipeline/drivers.hpp"
#include "pipeline/pending_output.hpp"
#include "pipeline/result_combine.hpp"
#include "pipeline/run_publication.hpp"

namespace quilm {

int run_quilm2(int argc, const char* const* argv) {
  DriverRun run("quilm2");
  start_driver_run(run, DriverKind::kMappingOnly, argc, argv);
  const RunConfig& config = run.config;
  // The output file collects the merged hits of every cycle, under a
  // temporary name until the run is complete.
  PendingOutput outputs[] = {PendingOutput(config.output_path, &run.guard),
                             PendingOutput(config.output_path + ".config", &run.guard)};
  const PendingOutput& output = outputs[0];
  create_empty_file(output.path());
  run.setup.merged_path = output.path();
  if (config.seed_length == 12) {
    std::fputs("pemu", stdout);
    std::fflush(stdout);
  }
  run_cascade(run.setup);
  append_log_line(kConfigFile,
                  "total match position number: " + std::to_string(tongji(output.path())) + "\n");
  run.report.count_alignments(mapping_alignments(output.path(), config.read_count));
  append_log_line(kConfigFile,
                  "The total Time : " + format_seconds(run.clock.seconds()) + " sec\n");
  write_whole_file(outputs[1].path(), read_whole_file(kConfigFile));
  publish_run_outputs(outputs, &run.publication, &run.guard);
  finish_driver_run(run);
  return 0;
}

}  // namespace quilm
