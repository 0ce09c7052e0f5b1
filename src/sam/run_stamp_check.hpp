// The export's check that its inputs are the run's: the reference and the
// dataset (and mates) against the run's stamp, and the rescue file's run
// number against it, before anything is written.
#pragma once

#include <optional>
#include <string>

#include "common/run_stamp.hpp"
#include "sam/sam_options.hpp"

namespace quilm::sam {

// The stamp beside the run's files; nothing (and a warning on stderr) for a
// run written before runs were stamped. Throws InputError naming the file
// and the stamp when the reference, the dataset or the mates have other
// bytes than the run read.
std::optional<RunStamp> check_run_inputs(const SamOptions& options, bool six_files);

// Throws InputError when the rescue file carries another run's number, or
// none although the run is stamped.
void check_rescue_run(const SamOptions& options, const std::optional<RunStamp>& stamp,
                      const std::string& rescue_run_number);

// Throws InputError when the dataset held another number of reads than the
// run numbered (single reads written with --unmapped, where the dataset is
// read to its end); what tells a dataset given as a pipe from the run's.
void check_read_count(const SamOptions& options, const std::optional<RunStamp>& stamp, long reads);

}  // namespace quilm::sam
