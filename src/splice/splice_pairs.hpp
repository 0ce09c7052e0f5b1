// Pairs of candidates that could be the two parts of a split read: the
// first part upstream, the second the length of an intron further on.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "splice/splice_candidates.hpp"
#include "splice/splice_cut_sites.hpp"
#include "splice/splice_seed_zones.hpp"

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
// the window's candidates by first seed and hits). Only the levels from
// lowest_level up are asked for, so the threshold need only be known above
// lowest_level - 1: when even counting every candidate as a first part
// leaves fewer than pair_cap pairs there, no first part needs checking
// against the reference to know it.
//
// The pairs of one hit sum are made on demand. Candidates are grouped by
// their set of seed hits, which fixes their hits, their first seed and what
// the seed zones allow, so whole groups of pairs are ruled out at once; the
// pairs of two groups that remain come from the smaller group, each member
// finding its partners in the other by binary search.
class PairList {
 public:
  // Forms the list for candidates (ascending starts, with their seed masks)
  // of the sequence q; a cap of 0 forms no pairs.
  void form(std::span<const SpliceCandidate> candidates, std::span<const std::uint64_t> seed_masks,
            std::string_view q, const char* segment, const PairRules& rules, DonorSet donors,
            int lowest_level = 1);

  bool empty() const { return empty_; }
  // Pairs of the list have hit sums above this; below lowest_level it is
  // lowest_level - 1, the threshold having been found no higher.
  std::int64_t threshold() const { return threshold_; }
  std::span<const SpliceCandidate> candidates() const { return candidates_; }

  // The pairs of the list whose hit sum is `level` that neither their seed
  // hits (the zones) nor their cut sites rule out, as candidate numbers in
  // list order. Without sites, only the zones rule pairs out.
  void pairs_at(std::int64_t level, const SeedZones& zones, CutSites* sites,
                std::vector<std::pair<std::uint32_t, std::uint32_t>>& out);

  // Every pair of the list, in list order.
  std::vector<SplicePair> all_pairs();

 private:
  // Candidates with one set of seed hits (with more than 64 seeds, with one
  // number of hits), in list order.
  struct Group {
    std::uint64_t key;
    int hits;
    std::uint32_t from;  // its members: members_[from .. from + size]
    std::uint32_t size;
  };
  void clear(std::span<const SpliceCandidate> candidates);
  std::uint64_t pairs_above_bound(std::int64_t t);
  void count_pairs_above(std::int64_t t, bool checked);
  std::uint64_t above_of(std::int64_t t) const;
  bool first_part(std::uint32_t a);
  void group_candidates();
  void join(const Group& firsts, const Group& seconds, CutSites* sites,
            std::vector<std::pair<std::uint32_t, std::uint32_t>>& out) const;
  std::span<const std::uint32_t> members(const Group& g) const {
    return std::span<const std::uint32_t>(members_).subspan(g.from, g.size);
  }

  std::span<const SpliceCandidate> candidates_;
  std::span<const std::uint64_t> masks_;
  bool by_mask_ = false;  // groups by seed set (else by hits)
  std::string_view q_;
  const char* segment_ = nullptr;
  PairRules rules_;
  DonorSet donors_ = DonorSet::kForward;
  std::int64_t nearest_ = 1;  // partner distances
  std::int64_t farthest_ = 0;
  std::vector<std::uint8_t> first_;  // per candidate: its check as a first part
  std::vector<std::uint64_t> by_hits_in_window_;
  std::vector<std::uint64_t> by_sum_;  // pairs by hit sum
  // Running counts of the sweep: window candidates by first seed (from f
  // up) and hits.
  std::vector<std::uint64_t> from_seed_;
  std::vector<Group> groups_;             // ordered by hits
  std::vector<Group> group_scratch_;      // as first met
  std::vector<std::uint32_t> hits_from_;  // groups of h hits: groups_[hits_from_[h] .. [h + 1]]
  std::vector<std::uint32_t> members_;
  std::vector<std::uint32_t> group_of_;  // per candidate, during grouping
  std::vector<std::uint32_t> slots_;     // hash table of the grouping: group number + 1
  std::vector<std::uint32_t> fill_;
  std::vector<SeedZones::Profile> profiles_;  // per group, for the zones of the last pairs_at
  const SeedZones* profiled_ = nullptr;
  std::int64_t threshold_ = 1;
  int max_hits_ = 0;
  bool empty_ = true;
};

}  // namespace quilm
