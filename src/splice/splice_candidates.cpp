#include "splice/splice_candidates.hpp"

#include <algorithm>

#include "worker/seed_index.hpp"

namespace quilm {

void collect_candidates(std::span<const SeedLookups::Bucket> buckets, int length, int seed_length,
                        std::int64_t max_start, CandidateWork& work,
                        std::vector<SpliceCandidate>& out) {
  out.clear();
  work.votes.clear();
  const int seeds = static_cast<int>(buckets.size());
  for (int j = 0; j < seeds; ++j) {
    const std::int64_t offset = seed_read_position(j, seeds, length, seed_length);
    const auto seed_number = static_cast<std::uint64_t>(j + 1);
    for (const std::int32_t p : buckets[j]) {
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
