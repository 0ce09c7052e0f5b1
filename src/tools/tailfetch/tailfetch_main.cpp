// tailfetch: writes the reads of a FASTQ file that a mapping output does not
// contain back to FASTQ, cut into pieces of at most 75 bases.
#include "common/command_line.hpp"
#include "tools/tailfetch/tailfetch.hpp"

int main(int argc, char** argv) {
  return quilm::run_program("tailfetch", quilm::tailfetch::kTailfetchHelp, argc, argv, [&] {
    quilm::tailfetch::run_tailfetch(quilm::tailfetch::param_read(argc, argv));
    return 0;
  });
}
