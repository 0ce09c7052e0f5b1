// Pairs of candidates that could be the two parts of a split read: the
// first part upstream, the second the length of an intron further on.
#pragma once

#include <algorithm>
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

// The pair list of one candidate list, held without storing its pairs.
//
// The list is every pair of a candidate A that may give a first part (not
// first placed by the last seed, leading_part_fits) with a later candidate B
// that lies min_gap_distance..max_gap_distance bases on and was first placed
// by a later seed, whose hits add up to more than a threshold: the lowest
// threshold from 1 up at which the list holds fewer than pair_cap pairs, in
// the order of A, then of B. Forming it pair by pair and raising the
// threshold each time the list fills costs the square of the candidates of a
// repeat, many times over. Here one sweep of the partner window over the
// candidates counts the pairs of every hit sum at once (a running count of
// the window's candidates by first seed and hits), which gives the
// threshold; the pairs of one hit sum are then produced on demand, in list
// order, from the candidates grouped by their hits.
class PairList {
 public:
  // Forms the list for candidates (ascending starts) of the sequence q; a
  // cap of 0 forms no pairs.
  void form(std::span<const SpliceCandidate> candidates, std::string_view q, const char* segment,
            const PairRules& rules, DonorSet donors);

  bool empty() const { return pairs_ == 0; }
  std::uint64_t size() const { return pairs_; }
  std::int64_t threshold() const { return threshold_; }
  std::span<const SpliceCandidate> candidates() const { return candidates_; }

  // Calls visit(a, b) with the candidate numbers of every pair whose hit sum
  // is `level`, in list order, passing over first parts a for which
  // wanted(a) is false.
  template <class Wanted, class Visit>
  void visit_level(std::int64_t level, Wanted&& wanted, Visit&& visit) const;

  // Every pair of the list, in list order.
  std::vector<SplicePair> all_pairs() const;

 private:
  void clear(std::span<const SpliceCandidate> candidates);
  void count_pairs(std::string_view q, const char* segment, const PairRules& rules,
                   DonorSet donors);
  void group_by_hits();

  std::span<const SpliceCandidate> candidates_;
  std::vector<std::uint32_t> firsts_;        // candidates that give first parts, ascending
  std::vector<std::uint32_t> window_begin_;  // per candidate: its partners by distance,
  std::vector<std::uint32_t> window_end_;    // the candidates window_begin_ .. window_end_ - 1
  std::vector<std::uint64_t> by_sum_;        // pairs by hit sum
  std::vector<std::uint32_t> by_hits_;       // candidate numbers grouped by hits, ascending in each
  std::vector<std::uint32_t> hits_from_;  // group h: by_hits_[hits_from_[h] .. hits_from_[h + 1]]
  std::vector<std::uint32_t> fill_;       // scratch of the grouping
  // Running counts of the sweep: window candidates by first seed (from f
  // up) and hits.
  std::vector<std::uint64_t> from_seed_;
  std::uint64_t pairs_ = 0;
  std::int64_t threshold_ = 1;
  int max_hits_ = 0;
};

template <class Wanted, class Visit>
void PairList::visit_level(std::int64_t level, Wanted&& wanted, Visit&& visit) const {
  if (level <= threshold_ || pairs_ == 0) return;
  for (const std::uint32_t a : firsts_) {
    const SpliceCandidate& first = candidates_[a];
    const std::int64_t want = level - first.hits;
    if (want < 1 || want > max_hits_ || !wanted(a)) continue;
    const std::uint32_t* group = by_hits_.data() + hits_from_[want];
    const std::uint32_t* group_end = by_hits_.data() + hits_from_[want + 1];
    const std::uint32_t* b = std::lower_bound(group, group_end, window_begin_[a]);
    for (; b != group_end && *b < window_end_[a]; ++b)
      if (first.first_seed < candidates_[*b].first_seed) visit(a, *b);
  }
}

}  // namespace quilm
