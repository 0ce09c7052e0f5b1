#include "splice/splice_candidates.hpp"

#include <algorithm>

#include "worker/seed_index.hpp"

namespace quilm {

namespace {

using Run = CandidateWork::Run;

// Heap order: the smallest start on top, and of equal starts the lowest
// seed, so that a start's first vote comes from its first seed.
bool after(const Run& a, const Run& b) {
  return a.start != b.start ? a.start > b.start : a.seed > b.seed;
}

}  // namespace

void collect_candidates(std::span<const SeedLookups::Bucket> buckets, int length, int seed_length,
                        std::int64_t max_start, CandidateWork& work,
                        std::vector<SpliceCandidate>& out) {
  out.clear();
  auto& heap = work.heap;
  heap.clear();
  const int seeds = static_cast<int>(buckets.size());
  for (int j = 0; j < seeds; ++j) {
    const std::int64_t offset = seed_read_position(j, seeds, length, seed_length);
    const SeedLookups::Bucket b = buckets[j];
    // The positions whose start lies in 1..max_start form one stretch.
    const std::int32_t* first =
        std::lower_bound(b.data(), b.data() + b.size(), 1 + offset,
                         [](std::int32_t p, std::int64_t v) { return p < v; });
    const std::int32_t* end =
        std::upper_bound(first, b.data() + b.size(), max_start + offset,
                         [](std::int64_t v, std::int32_t p) { return v < p; });
    if (first != end) heap.push_back({*first - offset, j + 1, first + 1, end, offset});
  }
  std::make_heap(heap.begin(), heap.end(), after);
  while (!heap.empty()) {
    std::pop_heap(heap.begin(), heap.end(), after);
    Run& top = heap.back();
    const auto start = static_cast<std::int32_t>(top.start);
    if (!out.empty() && out.back().start == start)
      ++out.back().hits;
    else
      out.push_back({start, 1, top.seed});
    if (top.next == top.end) {
      heap.pop_back();
      continue;
    }
    top.start = *top.next++ - top.offset;
    std::push_heap(heap.begin(), heap.end(), after);
  }
}

}  // namespace quilm
