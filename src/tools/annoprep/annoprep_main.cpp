// annoprep: genome FASTA + GTF/GFF annotation -> exon table and transcript sequences.
#include <cstdio>
#include <iostream>

#include "common/command_line.hpp"
#include "tools/annoprep/annoprep_options.hpp"
#include "tools/annoprep/annoprep_run.hpp"

int main(int argc, char** argv) {
  return quilm::run_program("annoprep", quilm::annoprep::kAnnoprepHelp, argc, argv, [&] {
    const auto options = quilm::annoprep::param_read(argc, argv);
    const auto summary = quilm::annoprep::annoprep_run(options, std::cerr);
    std::fprintf(stderr, "annoprep: %ld chromosomes with exons, %ld transcripts, %ld exons\n",
                 summary.chromosomes, summary.transcripts, summary.exons);
    return 0;
  });
}
