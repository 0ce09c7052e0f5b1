// The driver's splice stage: the reads the cascade left unmapped or mapped
// with two or more errors go to the split-read workers, whose results are
// merged into "splice.tmp" in chromosome coordinates.
#pragma once

#include <string>

#include "pipeline/run_guard.hpp"
#include "pipeline/run_publication.hpp"
#include "pipeline/run_report.hpp"

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
int splice_result_combine(int read_count, int segment_count, const std::string& work_folder,
                          const std::string& merged_path, int seed,
                          const std::string& read_file_path, SpliceCombineCounts* counts = nullptr);

// Number of records in a splice output file.
int splice_tongji(const std::string& path);

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
