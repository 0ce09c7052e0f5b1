#include <cstdio>

#include "common/run_config.hpp"
#include "pipeline/drivers.hpp"
#include "pipeline/firsttask.hpp"
#include "pipeline/stopwatch.hpp"

namespace quilm {

int run_quilm2splice(int argc, const char* const* argv) {
  Stopwatch run;
  Stopwatch stage;
  int seed_length = 0;
  firsttask(DriverKind::kSplice, argc, argv, seed_length);
  append_log_line(kConfigFile, "The Time of splited Ref. file and the assigned task used : " +
                                   format_seconds(stage.seconds()) + " sec\n");
  std::fflush(stdout);
  std::fprintf(stderr, "quilm2splice: preparation done in %.1f s; mapping stages are not built yet\n",
               run.seconds());
  return 0;
}

}  // namespace quilm
