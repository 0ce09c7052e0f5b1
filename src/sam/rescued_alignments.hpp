// The rescued alignments of a run ("<output>-rescue" of quilm2splice
// --rescue), read for the export, and the rule that lets one replace a
// read's earlier hits: its score is strictly higher than that of each of
// them, on the scale of rescue_scoring.hpp.
//
// A line: "<read>\t<chromosome>\t<position>\t<strand>\t<CIGAR>\t<score>\t
// <edit distance>\t<kind>\t<intron strand>\t<hits>" with a 1-based position,
// strand '+' or '-' and the CIGAR operations M, I, D, N and S. The lines
// come by ascending read number.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sam/read_placement.hpp"
#include "sam/reference_genome.hpp"
#include "sam/run_hits.hpp"

namespace quilm::sam {

struct RescuedAlignment {
  std::int64_t read_number = 0;
  std::int32_t chromosome = 0;  // ordinal in the reference
  std::int64_t position = 0;    // 0-based leftmost reference base
  bool reverse = false;
  std::vector<std::uint32_t> cigar;  // BAM encoding
  std::uint32_t read_length = 0;     // bases the CIGAR consumes of the read
  int score = 0;
  std::string kind;
  char intron_strand = '.';
  int hits = 1;
  long line = 0;  // in the file, for messages
};

// Reads the file; throws IoError when it cannot be read, InputError naming
// the file and line for a line that is malformed, names a chromosome the
// reference lacks, places the alignment outside its chromosome, or breaks
// the ascending read order.
// `run_number` (if given) receives the number of the run that the file's
// header names (empty for a file without a header).
std::vector<RescuedAlignment> read_rescued_alignments(const std::string& path,
                                                      const ReferenceGenome& genome,
                                                      std::string* run_number = nullptr);

// True when `score` beats every earlier hit of the read (none beats no hit).
bool rescued_is_better(int score, std::span<const Hit> earlier);

// The placement of a rescued alignment of `read` (as in the dataset): the
// aligned sequence, position, orientation and CIGAR; edit distance and MD
// come from describe_against_reference.
void place_rescued(const RescuedAlignment& alignment, std::string_view read, PlacementWork& work,
                   Placement& out);

}  // namespace quilm::sam
