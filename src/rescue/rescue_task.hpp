// The rescue worker: for every segment (or slice of the reads of a shared
// segment) assigned to this process, the best spliced, gapped or clipped
// alignments of the reads of "rescue0.fastq" on that segment.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "common/junction_file.hpp"
#include "common/rescue_record.hpp"
#include "common/worker_args.hpp"
#include "rescue/rescue_candidates.hpp"
#include "rescue/spliced_alignment.hpp"

namespace quilm {

extern const char* const kRescueHelp;

// The alignments of one read, by both orientations, over the candidate loci
// of one segment; keeps those of the best score (at most kMaxRescueHits),
// ordered by position, strand and CIGAR. Work areas are reused.
class ReadRescuer {
 public:
  // `masked`: lower-case segment bases match nothing (-M1); `forward_only`:
  // the reverse complement of a read is not aligned (-U1).
  ReadRescuer(std::string_view segment, const SegmentJunctions& junctions, IntronLimits introns,
              CandidateLimits candidates, bool masked, bool forward_only)
      : aligner_(segment, junctions, introns, masked),
        limits_(candidates),
        forward_only_(forward_only) {}

  template <class Index>
  void rescue(const Index& index, int read_number, std::string_view read);

  // True when `read` (its reverse complement with `reverse`) fits the
  // diagonal as a plain alignment that nothing could beat.
  bool fits_plainly(std::string_view read, std::int64_t diagonal, bool reverse);

  // The alignments kept for the read at hand.
  std::span<const RescueHit> hits() const { return {slots_.data(), kept_}; }

 private:
  void try_orientation(std::string_view sequence, bool reverse_strand, int read_number,
                       int min_support);
  bool keep_plain(std::span<const std::int64_t> locus, std::string_view sequence,
                  bool reverse_strand, int read_number);
  void keep(const SplicedAlignment& a, bool reverse_strand, int read_number);

  SplicedAligner aligner_;
  CandidateLimits limits_;
  CandidateLoci loci_[2];  // of the read and of its reverse complement
  std::string reverse_;
  std::vector<std::int64_t> diagonals_;
  SplicedAlignment alignment_;
  std::vector<RescueHit> slots_;  // reused from read to read
  std::size_t kept_ = 0;
  bool forward_only_ = false;
};

// The junctions of `all` that lie inside segment `segment` of `length`
// bases, in segment coordinates.
SegmentJunctions segment_junctions(const std::vector<ChromosomeJunction>& all,
                                   const std::string& work_folder, int segment_count, int segment,
                                   std::size_t length);

// A read's one earlier hit on segment `segment`, as a diagonal.
struct SegmentHint {
  int read_number = 0;
  bool reverse = false;
  std::int64_t diagonal = 0;
};

// The hints of "rescue_hints.txt" that lie in the segment, by read number.
std::vector<SegmentHint> segment_hints(const std::string& work_folder, int segment_count,
                                       int segment, std::size_t length);

// Runs in the current directory (where config.txt lies).
void run_rescue_worker(const WorkerArgs& args);

template <class Index>
void ReadRescuer::rescue(const Index& index, int read_number, std::string_view read) {
  kept_ = 0;
  reverse_complement(read, reverse_);
  loci_[0].find(index, read, limits_);
  if (forward_only_)
    loci_[1].clear();
  else
    loci_[1].find(index, reverse_, limits_);
  // A locus with a quarter of the seeds of the best one cannot hold the
  // best alignment; it is most often a chance hit of one seed.
  const int best = std::max(loci_[0].best_support(), loci_[1].best_support());
  try_orientation(read, false, read_number, std::max(1, best / 4));
  try_orientation(reverse_, true, read_number, std::max(1, best / 4));
}

}  // namespace quilm
