// Clustering of junction evidence per chromosome and strand into the
// "junction" table: split reads of a run ("<base>-splice-high") and
// junction-crossing transcript reads ("refFlat-splice"), with evidence that
// conflicts with the table deferred to later passes, each on a fresh table.
#pragma once

#include <string>

#include "common/output_file.hpp"
#include "tools/refjunc/junction_table.hpp"
#include "tools/refjunc/refjunc_options.hpp"

namespace quilm::refjunc {

// What the passes of one run share: the table's storage, the open junction
// file and the junction number, counted over the whole run.
struct JunctionRun {
  JunctionTable table;
  OutputFile& junctions;
  long junction_number = 0;
};

// One chromosome and strand letter.
struct ChromosomeStrand {
  const std::string& name;
  long long length;
  char strand;
};

// First pass: split reads within the gap bounds and transcript reads whose
// exons lie at least 2 apart; deferred records are appended to "temp0".
void spliceresultcheck(const RefjuncOptions& options, const ChromosomeStrand& where,
                       JunctionRun& run);

// Later pass over a deferred file; returns the number of records it
// appended to the output deferred file.
long splicetempcheck(const ChromosomeStrand& where, const std::string& deferred_in,
                     const std::string& deferred_out, JunctionRun& run);

// Both strands of one chromosome: the first passes, then later passes until
// neither strand defers anything. Empties "temp0" and "temp1" first.
void annotate_chromosome(const RefjuncOptions& options, const std::string& name, long long length,
                         JunctionRun& run);

// The whole program: "refFlat-splice", then "junction" (written anew)
// chromosome by chromosome in genome order.
void run_refjunc(const RefjuncOptions& options);

}  // namespace quilm::refjunc
