// Pairs of candidates that could be the two parts of a split read: the
// first part upstream, the second the length of an intron further on.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "splice/splice_candidates.hpp"

namespace quilm {

struct SplicePair {
  std::int32_t first_start = 0;   // start of the candidate that gives the first part
  std::int32_t second_start = 0;  // start of the candidate that gives the second part
  std::int32_t hit_sum = 0;       // the two candidates' hits added

  bool operator==(const SplicePair&) const = default;
};

// Dinucleotides that may open an intron right behind a first part: GT, GC
// and AT for the read's own candidates; GT and CT for its reverse complement.
enum class DonorSet { kForward, kReverse };

struct PairRules {
  int seed_length = 0;
  int seeds = 0;  // seeds of the sequence
  int max_errors = 0;
  int min_gap_distance = 0;
  int max_gap_distance = 0;
  std::int64_t pair_cap = 0;  // largest number of pairs kept per list
};

// The leading bases of the sequence, placed at candidate a, stay within
// max_errors up to the first donor dinucleotide that lies behind a's first
// seed (or up to the third-last base when there is none).
bool leading_part_fits(std::string_view q, const char* segment, const SpliceCandidate& a,
                       int seed_length, int max_errors, DonorSet donors);

// Forms the pair list of one candidate list (ascending starts) for the
// sequence q. When the list fills up to pair_cap, the hit sum that a pair
// needs is raised by one and the list formed anew, until it stays below the
// cap; a cap of 0 forms no pairs. `usable` is a work area.
void form_pairs(std::span<const SpliceCandidate> candidates, std::string_view q,
                const char* segment, const PairRules& rules, DonorSet donors,
                std::vector<char>& usable, std::vector<SplicePair>& pairs);

}  // namespace quilm
