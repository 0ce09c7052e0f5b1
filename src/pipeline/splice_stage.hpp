// The driver's splice stage: the reads the cascade left unmapped or mapped
// with two or more errors go to the split-read workers, whose results are
// merged into "splice.tmp" in chromosome coordinates.
#pragma once

#include <string>

#include "common/run_config.hpp"

namespace quilm {

// Writes "<work_folder>/splice0.fastq": the reads of "0.fastq" whose last
// merged mapping record has more than one error, or that have none.
// Returns the number of reads written.
long splice_chang_fastqfile(const std::string& work_folder, int read_count);

struct SpliceCombineCounts {
  int match_records = 0;
  int multi_matched = 0;
  int next_match = 0;
  int matched = 0;
};

// Merges the workers' "<k>.r" files into `merged_path`, writes the reads
// left without a split hit to "<work_folder>/<seed>.fastq" and appends the
// statistics line to config.txt. Returns 1 when a read was left, else 0.
// The run's read and segment counts, work folder and splice seed length come
// from `run`.
int splice_result_combine(const RunConfig& run, const std::string& merged_path,
                          const std::string& read_file_path, SpliceCombineCounts* counts = nullptr);

// Number of records in a splice output file.
int splice_tongji(const std::string& path);

}  // namespace quilm
