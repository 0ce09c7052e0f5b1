// Merging the per-segment results of one mapping cycle: the best hits of
// every read in chromosome coordinates, and the reads for the next cycle.
#pragma once

#include <string>

#include "common/run_config.hpp"
#include "pipeline/run_report.hpp"

namespace quilm {

struct CombineCounts {
  int matched = 0;        // reads with a best hit written or counted
  int multi_matched = 0;  // reads with two or more best hits
  int next_cycle = 0;     // reads written to the next cycle's file
  int with_hit = 0;       // reads of the cycle's file that have a hit
};

// Appends the best hits to `merged_path`, writes "<work_folder>/<seed>.fastq"
// and the statistics line to config.txt. Returns 1 when the next cycle has
// reads, else 0. A result file that does not exist is read as empty; a record
// naming a read outside 1..read_count is an InputError. The run's read and
// segment counts, work folder, -E, -I and export-all setting come from `run`.
int result_combine(const RunConfig& run, const std::string& merged_path, int seed_length,
                   const std::string& cycle_read_path, CombineCounts* counts = nullptr);

// Number of records in a merged mapping file.
int tongji(const std::string& path);

// How the reads of a merged mapping file aligned: one record or several at
// the read's lowest error count.
AlignmentCounts mapping_alignments(const std::string& path, int read_count);

}  // namespace quilm
