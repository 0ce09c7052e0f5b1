// The SAM or BAM file being written. Records go to a temporary file beside
// the output (or into the sorter), which replaces the output only once
// complete, so a failed conversion leaves an earlier output as it was.
#pragma once

#include <htslib/sam.h>

#include <memory>
#include <string>
#include <vector>

#include "sam/coordinate_sort.hpp"
#include "sam/hts_handles.hpp"
#include "sam/reference_genome.hpp"
#include "sam/sam_options.hpp"

namespace quilm::sam {

struct SamOutput {
  std::string path;        // as given; "-" for stdout
  std::string part_path;   // the file written until finish_output
  std::string part_index;  // of a sorted BAM, built as its records are written
  TemporaryFiles part;     // removed unless finish_output renamed it
  HtsFilePtr file;
  HeaderPtr header;
  std::unique_ptr<CoordinateSorter> sorter;  // set with --sort
  const char* index_suffix = nullptr;        // ".bai" or ".crai" when sorted
  long records = 0;
};

// @HD with the sort order, one @SQ per chromosome, @RG when a read group is
// given, then @PG lines: the run's (with --pg-cl; `run_program` names its
// driver) and quilm2sam's own, which points to it.
HeaderPtr make_header(const ReferenceGenome& genome, const SamOptions& options,
                      const char* run_program);

// Opens the output and writes the header; a CRAM is encoded against the
// reference of the options. With a pool, htslib compresses (and formats SAM)
// in it, also the sorter's runs; the pool must outlive the output.
SamOutput open_output(const SamOptions& options, HeaderPtr header, hts_tpool* pool);

// Writes the records stored in `bytes` (see stored_records.hpp) in order to
// an output that is not sorted.
void write_stored_records(SamOutput& out, const std::vector<std::uint8_t>& bytes);

// Gives a block sorted by sort_block to the sorter of a sorted output.
void add_sorted_block(SamOutput& out, SortBlock&& block);

// Sorts if asked, closes, indexes a sorted BAM or CRAM and moves the files
// in place. The sorted records written are shown on `progress`, if any.
void finish_output(SamOutput& out, ProgressDisplay* progress = nullptr);

}  // namespace quilm::sam
