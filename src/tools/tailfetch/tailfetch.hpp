// Read extraction: the reads of a FASTQ file that a mapping output does not
// contain, written back as FASTQ in pieces of at most 75 bases.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/output_file.hpp"

namespace quilm::tailfetch {

struct TailfetchOptions {
  std::string fastq_path;    // -F
  std::string results_path;  // -R: mapping output of a run over the FASTQ file
  std::string output_path;   // -O: FASTQ file written
};

// Reads per batch; result records of later batches are carried over in
// "<results>_tmp1" and "<results>_tmp2".
inline constexpr long long kBatchReads = 4194304;

// Throws UsageError (with the usage text) when -F, -R or -O is missing or
// empty, and for a long option ("--name"); other arguments are ignored with
// a warning on stderr.
TailfetchOptions param_read(int argc, const char* const* argv);

// The text of --help.
extern const char* const kTailfetchHelp;

// The output records of unmapped read `read_number`: reads of 42 to 75 bases
// whole with their own quality; longer ones as consecutive 75-base pieces
// plus a last piece of the remainder when it is over 41 bases, with a
// quality of 'F's; shorter ones not at all.
void write_read_pieces(OutputFile& out, long long read_number, std::string_view sequence,
                       std::string_view quality);

// Marks the mapped reads of batch `batch` (read numbers batch * batch_reads
// + 1 .. (batch + 1) * batch_reads, slot = number - batch * batch_reads) and
// writes every other record of `source` to `carried`, created anew.
void scan_batch_results(const std::string& source, const std::string& carried, long long batch,
                        long long batch_reads, std::vector<unsigned char>& mapped);

void run_tailfetch(const TailfetchOptions& options, long long batch_reads = kBatchReads);

}  // namespace quilm::tailfetch
