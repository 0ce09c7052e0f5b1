// The driver's rescue stage (quilm2splice --rescue): after the final merge,
// the reads without a hit or whose best hit has errors go to the rescue
// workers, and each read's best rescued alignments that score higher than
// its earlier hits are written to "<output>-rescue".
//
// "<output>-rescue": one line per alignment, by read number, then by
// chromosome order, position, strand and CIGAR:
//   "<read>\t<chromosome>\t<position>\t<strand>\t<CIGAR>\t<score>\t<edit distance>\t<kind>\t<intron
//   strand>\t<hits>\n"
// <position> 1-based leftmost reference base of the first aligned base,
// <strand> '+' for the read, '-' for its reverse complement, <kind> one of
// introns, indel, anchor, clipped, splice, mismatch, <intron strand> the
// splice signal's strand ('.' without an intron), <hits> the read's number
// of equally good alignments.
#pragma once

#include <string>
#include <vector>

#include "common/rescue_record.hpp"
#include "common/rescue_scoring.hpp"
#include "pipeline/cascade.hpp"
#include "pipeline/options.hpp"
#include "pipeline/rescue_counts.hpp"

namespace quilm {

inline constexpr const char* kRescueOutputSuffix = "-rescue";

// Writes "rescue0.fastq" of the reads to rescue and returns, for every read
// number, the score of its earlier best hit (kNoEarlierHit when it had none).
inline constexpr int kNoEarlierHit = -1000000;
std::vector<int> choose_rescue_reads(const std::string& work_folder, int read_count, long& chosen);

// Combines the workers' "<k>.r" files into `output_path`: per read, the
// alignments of its best score over all segments, when that beats its
// earlier score. The files are merged by read number, a read at a time.
// The same bytes whatever the number of processes. Throws InputError naming
// the file for a read number outside the run or out of order.
RescueCounts rescue_combine(const std::string& work_folder, int segment_count,
                            const std::vector<int>& earlier, const std::string& output_path,
                            RunGuard* guard = nullptr, const std::string& run_number = {});

// The whole stage.
// `run_number` heads the rescue file (empty: no header line).
RescueCounts run_rescue_stage(const CascadeSetup& setup, const RescueRequest& request,
                              const std::string& run_number);

}  // namespace quilm
