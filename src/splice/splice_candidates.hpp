// Candidate placements of a whole read (or of its reverse complement) on a
// segment, collected from the exact occurrences of its seeds.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "worker/seed_lookups.hpp"

namespace quilm {

struct SpliceCandidate {
  std::int32_t start = 0;       // 1-based segment position of the sequence's first base
  std::int32_t hits = 0;        // number of seeds that place the sequence there
  std::int32_t first_seed = 0;  // 1-based number of the first of those seeds

  bool operator==(const SpliceCandidate&) const = default;
};

// Work area of candidate collection, reused from read to read.
struct CandidateWork {
  struct Run {
    const std::int32_t* next;  // the seed's positions not yet taken
    const std::int32_t* end;
    std::int64_t offset;  // the seed's place in the sequence
  };
  std::vector<Run> runs;
  std::vector<std::uint64_t> votes;  // start << 32 | seed number, of one stretch
  std::vector<std::size_t> parts;    // where each bucket's votes begin in `votes`
  std::vector<std::uint64_t> scratch;
};

// Builds the candidate list of one sequence of `length` bases from the
// buckets of its seeds (looked up in the index; empty for a seed that casts
// no vote). Every occurrence of seed j votes for the start that puts the
// seed where it lies in the sequence; only starts 1..max_start count. The
// list comes out in ascending start order without repeats, each candidate
// with its vote count and the lowest seed number that voted for it. That is
// exactly the list that appending the first seed's votes and inserting every
// later vote into the sorted list would give. A read of a repeat casts
// hundreds of thousands of votes. Each bucket is ascending, so the votes
// are taken from all buckets stretch by stretch of the segment (stretches
// of a few votes on average), each stretch's few votes sorted on their own:
// every bucket is read once, in order, and no comparison sort runs over all
// votes. With seed_masks, each candidate also gets the set of
// its seeds (bit j: seed j + 1 voted for it; only the first 64 seeds are
// recorded).
void collect_candidates(std::span<const SeedLookups::Bucket> buckets, int length, int seed_length,
                        std::int64_t max_start, CandidateWork& work,
                        std::vector<SpliceCandidate>& out,
                        std::vector<std::uint64_t>* seed_masks = nullptr);

}  // namespace quilm
