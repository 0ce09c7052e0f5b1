// The final merge of a quilm2splice run: for every read the hits with its
// lowest error count over the mapping and the splice results, by quality and
// multiplicity into six output files.
#pragma once

#include <string>

#include "pipeline/run_guard.hpp"
#include "pipeline/run_publication.hpp"
#include "pipeline/run_report.hpp"

namespace quilm {

// The final merge: the six output files "<output_path>-quilm2high", ...,
// "-splice-mutil" from "quilm2.tmp" and "splice.tmp". The six are written
// under temporary names and renamed into place together once all are
// complete (with `publication`: the earlier run's later outputs removed
// first and the run's stamp put beside them after); a guard removes the
// temporaries when the run is stopped. Returns how the reads aligned.
AlignmentCounts compare_quilm2splice(const std::string& output_path, const std::string& work_folder,
                                     int read_count, RunGuard* guard = nullptr,
                                     const RunPublication* publication = nullptr);

}  // namespace quilm
