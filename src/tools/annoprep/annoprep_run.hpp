// The whole annoprep run: genome sizes, exon table and transcript sequences.
#pragma once

#include <ostream>

#include "tools/annoprep/annoprep_options.hpp"

namespace quilm::annoprep {

struct AnnoprepSummary {
  long chromosomes = 0;  // genome records with exon lines
  long transcripts = 0;
  long exons = 0;
  long warned = 0;  // transcripts with exons beyond their chromosome
};

// Writes "genome_info", "refFlat.txt", "refFlat_info", "refMrna.fa" and
// "refMrna_sort.fa" into the output folder, replacing earlier ones only when
// the whole run succeeds. Warnings go to `warnings`.
AnnoprepSummary annoprep_run(const AnnoprepOptions& options, std::ostream& warnings);

}  // namespace quilm::annoprep
