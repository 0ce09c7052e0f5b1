// The candidates of a sequence that can be in a pair the split-read search
// evaluates. Only pairs whose hit sum reaches the lowest level evaluated
// count (min_sum), and a pair's candidates lie a partner distance apart, so
// a candidate without such a partner changes nothing: not the pairs, not
// their order, not the pair list's threshold. On a segment far from a
// read's origin its candidates are mostly single chance hits with no strong
// partner near them, and then none is left.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "splice/splice_candidates.hpp"

namespace quilm {

struct PairableRule {
  int min_sum = 2;           // the lowest hit sum of a pair that counts
  std::int64_t nearest = 1;  // partner distances, as the pair list takes them
  std::int64_t farthest = 0;
};

// Work area, reused from read to read.
struct PairableWork {
  struct Start {
    std::int64_t start;  // 0: a free slot
    std::int32_t hits;
    std::int32_t first_seed;
    std::uint64_t mask;
  };
  std::vector<Start> slots;
  std::vector<std::uint32_t> used;    // slots in use, as filled
  std::vector<std::uint32_t> strong;  // of them, those of two hits or more
  std::vector<SpliceCandidate> kept;
  std::vector<std::uint64_t> kept_masks;
  std::vector<std::uint32_t> order;
  std::vector<std::uint32_t> strong_at;  // keep_pairable's candidates of two hits or more
  std::vector<std::uint8_t> keep;
};

// Keeps, in place and in order, the candidates (ascending starts, with
// their seed masks) that have a partner: another candidate a distance of
// nearest..farthest away, before or after, whose hits and theirs reach
// min_sum. With more than 64 candidates of two hits or more, those kept
// are those whose hits and the most hits of any candidate reach min_sum.
void keep_pairable(std::vector<SpliceCandidate>& candidates, std::vector<std::uint64_t>& masks,
                   const PairableRule& rule, PairableWork& work);

// collect_candidates followed by keep_pairable: the same list. When a single
// hit needs a partner of two hits or more (min_sum of 3 or more) and the
// votes are few, the starts are counted in a hash table and only those kept
// are sorted, rather than sorting every vote.
void collect_pairable(std::span<const SeedLookups::Bucket> buckets, int length, int seed_length,
                      std::int64_t max_start, const PairableRule& rule, CandidateWork& collect,
                      PairableWork& work, std::vector<SpliceCandidate>& out,
                      std::vector<std::uint64_t>& masks);

}  // namespace quilm
