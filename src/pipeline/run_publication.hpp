// How a run's outputs come into place. The six files (or the mapping-only
// output) are renamed into place together; just before, whatever an earlier
// run wrote under the same names in its later steps (its stamp, its rescue
// file, its BAM and the BAM's index) is removed, and just after, the new
// run's stamp is put beside them. So a run stopped in its rescue stage or
// export leaves its own six files and nothing of an earlier run beside them.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "common/run_stamp.hpp"
#include "pipeline/pending_output.hpp"
#include "pipeline/run_guard.hpp"

namespace quilm {

struct RunPublication {
  RunStamp stamp;
  std::string stamp_path;
  std::vector<std::string> earlier;  // outputs of an earlier run's later steps
};

// The files an earlier run may have left under this run's names: the stamp,
// "<output>-rescue" (after a splice run), the BAM or CRAM of `bam_path`
// (empty: no export) and its index files.
std::vector<std::string> later_step_outputs(const std::string& output_path, bool six_files,
                                            const std::string& bam_path);

// Removes `publication->earlier` (regular files only: a link, a device or a
// pipe given as an output is the user's and is written through, never
// removed), keeps every output and then writes the stamp. Without a
// publication the outputs are only kept.
void publish_run_outputs(std::span<PendingOutput> outputs, const RunPublication* publication,
                         RunGuard* guard);

}  // namespace quilm
