// Command line of quilm2sam.
#pragma once

#include <cstdint>
#include <string>

#include "common/provenance.hpp"

namespace quilm::sam {

// What -O names: found out from the files (the six files of a splice run
// when "<run>-quilm2high" exists), or said with --run-kind.
enum class RunKind { kFound, kSplice, kMapping };

struct SamOptions {
  std::string reference_path;  // -R
  std::string dataset_path;    // -D
  std::string run_path;        // -O: output base of a splice run, or a mapping-only output file
  std::string output_path;     // -o: .bam for BAM, .cram for CRAM, "-" for SAM on stdout, else SAM;
                               // may be left out with --summary: then only the counts are made
  std::string mates_path;      // --mates: mate 2 of each pair; mate 1 is the read of -D
  bool name_check = true;      // --no-name-check: mates' names are not compared
  std::int64_t max_insert = 500000;  // --max-insert: of a concordant pair
  std::string summary_path;          // --summary: the pair counts, for the driver
  bool mate_rescue = false;          // --mate-rescue: lone mates searched near their mate
  bool unmapped = false;
  bool sort = false;
  long sort_memory_mib = 768;
  // 1: everything on the calling thread. More: htslib's pool of that many
  // threads converts, sorts and compresses, while the calling thread reads
  // the dataset and hands out the work. The records are the same either way.
  int threads = 1;
  // --rescued=<file>: the run's "<output>-rescue"; a read's rescued
  // alignments replace its hits when they score higher. Empty: none.
  std::string rescued_path;
  std::string summary_file;    // --summary-file: the closing summary for QC tools
  int max_hits = 0;            // --max-hits: records per read (a pair's concordant pairs); 0: all
  std::string unmapped_fastq;  // --unmapped-fastq: prefix of the unaligned reads' FASTQ
  // Tables counted from the records written: the junction table (--sj),
  // the same as BED12 (--sj-bed), reads per gene (--gene-counts, which
  // needs --annotation). Empty: not written.
  std::string sj_path;
  std::string sj_bed_path;
  std::string gene_counts_path;
  std::string annotation_path;  // --annotation: GTF/GFF (or a refjunc table for --sj)
  bool help = false;
  RunKind run_kind = RunKind::kFound;  // --run-kind=splice|mapping
  ReadGroup read_group;                // --rg-id, --rg
  std::string run_command;   // --pg-cl: the driver's command line; empty: no @PG for the run
  std::string command_line;  // for the @PG header line
};

enum class OutputFormat { kSam, kBam, kCram };

// Throws UsageError saying what is wrong.
SamOptions parse_sam_options(int argc, const char* const* argv);

// The usage text, ending in a line feed.
const char* sam_usage();

// By the output name: .bam, .cram, else SAM.
OutputFormat output_format(const SamOptions& options);

}  // namespace quilm::sam
