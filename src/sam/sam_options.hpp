// Command line of quilm2sam.
#pragma once

#include <string>

namespace quilm::sam {

struct SamOptions {
  std::string reference_path;  // -R
  std::string dataset_path;    // -D
  std::string run_path;        // -O: output base of a splice run, or a mapping-only output file
  std::string output_path;     // -o: .bam for BAM, "-" for SAM on stdout, else SAM
  bool unmapped = false;
  bool sort = false;
  long sort_memory_mib = 768;
  // 1: everything on the calling thread. More: htslib's pool of that many
  // threads converts, sorts and compresses, while the calling thread reads
  // the dataset and hands out the work. The records are the same either way.
  int threads = 1;
  bool help = false;
  std::string command_line;  // for the @PG header line
};

// Throws UsageError saying what is wrong.
SamOptions parse_sam_options(int argc, const char* const* argv);

// The usage text, ending in a line feed.
const char* sam_usage();

bool writes_bam(const SamOptions& options);

}  // namespace quilm::sam
