// Candidate placements of a whole read (or of its reverse complement) on a
// segment, collected from the exact occurrences of its seeds.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "worker/seed_index.hpp"

namespace quilm {

struct SpliceCandidate {
  std::int32_t start = 0;       // 1-based segment position of the sequence's first base
  std::int32_t hits = 0;        // number of seeds that place the sequence there
  std::int32_t first_seed = 0;  // 1-based number of the first of those seeds

  bool operator==(const SpliceCandidate&) const = default;
};

// Work areas of candidate collection, reused from read to read.
struct CandidateWork {
  std::vector<std::span<const std::int32_t>> buckets;  // per seed; empty for -1
  std::vector<std::uint64_t> votes;                    // start << 32 | seed number
};

// Builds the candidate list of one sequence of `length` bases from its seed
// ids (already translated by the index; -1 casts no vote). Every occurrence
// of seed j votes for the start that puts the seed where it lies in the
// sequence; only starts 1..max_start count. The list comes out in ascending
// start order without repeats, each candidate with its vote count and the
// lowest seed number that voted for it. That is exactly the list that
// appending the first seed's votes and inserting every later vote into the
// sorted list would give, but it costs a sort instead of a quadratic insert.
template <class Index>
void collect_candidates(const Index& index, std::span<const std::int64_t> ids, int length,
                        int seed_length, std::int64_t max_start, CandidateWork& work,
                        std::vector<SpliceCandidate>& out) {
  out.clear();
  work.votes.clear();
  work.buckets.clear();
  // All buckets are located first so that their cache misses overlap.
  for (const std::int64_t id : ids) {
    work.buckets.push_back(id >= 0 ? index.bucket(id) : std::span<const std::int32_t>{});
    if (!work.buckets.back().empty()) __builtin_prefetch(work.buckets.back().data());
  }
  const int seeds = static_cast<int>(ids.size());
  for (int j = 0; j < seeds; ++j) {
    const std::int64_t offset = seed_read_position(j, seeds, length, seed_length);
    const auto seed_number = static_cast<std::uint64_t>(j + 1);
    for (const std::int32_t p : work.buckets[j]) {
      const std::int64_t start = p - offset;
      // Vote key: start in the high half, seed number in the low half, so
      // that sorting orders the votes of one start by seed number.
      if (start >= 1 && start <= max_start)
        work.votes.push_back(static_cast<std::uint64_t>(start) << 32 | seed_number);
    }
  }
  std::sort(work.votes.begin(), work.votes.end());
  for (const std::uint64_t vote : work.votes) {
    const auto start = static_cast<std::int32_t>(vote >> 32);
    if (!out.empty() && out.back().start == start) {
      ++out.back().hits;
      continue;
    }
    out.push_back({start, 1, static_cast<std::int32_t>(vote & 0xffffffffu)});
  }
}

}  // namespace quilm
