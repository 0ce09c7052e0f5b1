// The mapping cascade: one cycle per seed length 14, 12, 10, 8, 6 down to the
// run's shortest seed, each a launch of the seed-mapping workers followed by
// the combination of their results.
#pragma once

#include <string>

#include "common/run_config.hpp"
#include "pipeline/launch.hpp"
#include "pipeline/run_guard.hpp"
#include "pipeline/run_report.hpp"

namespace quilm {

struct CascadeSetup {
  const RunConfig* config = nullptr;
  Launcher launcher;
  std::string merged_path;  // where every cycle appends its merged hits
  const char* program = "";
  const RunReport* report = nullptr;
  std::string index_store;     // where the workers keep seed indexes; empty: off
  RunGuard* guard = nullptr;   // stops the workers on SIGINT/SIGTERM
  long first_cycle_reads = 0;  // reads of the first cycle's read file (none of length 0)
};

// Runs the cycles; a seed_length outside the cycle table runs none.
void run_cascade(const CascadeSetup& setup);

// Plans the sharing of reads, checks memory, launches the workers of one
// stage, joins the part files of shared segments and appends the stage's
// time line "<time_line><seed> seed used : <seconds> sec" to config.txt.
// While the workers map the stage's `reads`, their progress is shown.
void launch_stage(const CascadeSetup& setup, const std::string& stage, const char* worker,
                  int seed_length, const std::string& time_line, long reads);

}  // namespace quilm
