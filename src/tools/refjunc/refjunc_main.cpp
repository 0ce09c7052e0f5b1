// refjunc: clusters the split-read hits of a run and the junctions crossed
// by reads mapped onto transcripts into a table of junctions.
#include "common/command_line.hpp"
#include "tools/refjunc/refjunc_options.hpp"
#include "tools/refjunc/splice_annotation.hpp"

int main(int argc, char** argv) {
  return quilm::run_program("refjunc", quilm::refjunc::kRefjuncHelp, argc, argv, [&] {
    quilm::refjunc::run_refjunc(quilm::refjunc::param_read(argc, argv));
    return 0;
  });
}
