// Turning a hit into the alignment that SAM records: leftmost position,
// orientation, CIGAR, edit distance and the MD string of the reference bases.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sam/reference_genome.hpp"
#include "sam/run_hits.hpp"

namespace quilm::sam {

inline constexpr int kNoAlignment = 1 << 29;

struct Placement {
  std::int64_t position = 0;  // 0-based leftmost reference base
  bool reverse = false;       // the reverse complement of the read is aligned
  std::string sequence;       // the aligned sequence: upper-cased read or its reverse complement
  std::vector<std::uint32_t> cigar;  // BAM encoding: length << 4 | operation
  int edit_distance = 0;
  std::string md;
};

// Work areas reused from hit to hit.
struct PlacementWork {
  std::string window;  // reference bases of the current placement, from window_bases
  const Chromosome* window_chromosome = nullptr;
  std::int64_t window_start = 0;
  std::string upper;
  std::string reverse;
  std::vector<std::int32_t> band;
  std::vector<std::uint8_t> ops;
};

// A read base matches a reference base when both are the same letter and not
// N; the reference is already upper-case.
inline bool same_base(char read_upper, char reference) {
  return read_upper == reference && reference != 'N';
}

// The read with its lower-case letters made upper case, into `out`.
void upper_case(std::string_view read, std::string& out);

// An ungapped placement of out.sequence at `position`: one M operation.
void place_ungapped(std::int64_t position, Placement& out);

// Bases [start, start + n) of the chromosome, held in work.window; fetched
// only when the window holds other bases, so that describing a placement
// right after checking it reads the reference once.
std::string_view window_bases(const Chromosome& chromosome, std::int64_t start, std::size_t n,
                              PlacementWork& work);

// A hit of the mapping output: the ungapped placement when it holds no more
// errors than the run counted, else the best banded alignment around it (a
// hit of the indel pass carries the candidate start, not the gapped one).
// False when no placement lies inside the chromosome.
bool place_mapping_hit(const Hit& hit, std::string_view read, const Chromosome& chromosome,
                       PlacementWork& work, Placement& out);

// A split hit: first part, intron, second part. The orientation is the one
// of the read or its reverse complement that fits the reference better, as
// the strand letter of the record names the splice-signal family instead.
void place_splice_hit(const Hit& hit, std::string_view read, const Chromosome& chromosome,
                      PlacementWork& work, Placement& out);

// Reference bases an alignment covers: its M, D and N operations.
std::int64_t reference_length(const std::vector<std::uint32_t>& cigar);

// Edit distance and MD string of out.sequence along out.cigar.
void describe_against_reference(const Chromosome& chromosome, PlacementWork& work, Placement& out);

}  // namespace quilm::sam
