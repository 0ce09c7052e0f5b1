#include "splice/splice_candidates.hpp"

#include <algorithm>
#include <bit>

#include "worker/seed_index.hpp"

namespace quilm {

namespace {

// The positions of a bucket whose start lies in 1..max_start form one
// stretch of it.
SeedLookups::Bucket usable_part(SeedLookups::Bucket b, std::int64_t offset,
                                std::int64_t max_start) {
  const std::int32_t* first =
      std::lower_bound(b.data(), b.data() + b.size(), 1 + offset,
                       [](std::int32_t p, std::int64_t v) { return p < v; });
  const std::int32_t* end = std::upper_bound(first, b.data() + b.size(), max_start + offset,
                                             [](std::int64_t v, std::int32_t p) { return v < p; });
  return {first, end};
}

// The votes of one stretch, taken bucket by bucket: each bucket's part is
// ascending, so a crowded stretch (the votes of a microsatellite or a
// satellite array) is merged part with part, a few votes by insertion.
void sort_stretch(std::vector<std::uint64_t>& votes, std::vector<std::size_t>& parts,
                  std::vector<std::uint64_t>& scratch) {
  if (votes.size() <= 32) {
    for (std::size_t i = 1; i < votes.size(); ++i) {
      const std::uint64_t v = votes[i];
      std::size_t j = i;
      for (; j > 0 && votes[j - 1] > v; --j) votes[j] = votes[j - 1];
      votes[j] = v;
    }
    return;
  }
  // parts holds the boundaries of the sorted parts: 0, ..., votes.size().
  scratch.resize(votes.size());
  while (parts.size() > 2) {
    std::size_t out = 1;
    for (std::size_t k = 0; k + 1 < parts.size(); k += 2) {
      const std::size_t from = parts[k];
      const std::size_t mid = parts[k + 1];
      const std::size_t to = k + 2 < parts.size() ? parts[k + 2] : mid;
      std::merge(votes.begin() + from, votes.begin() + mid, votes.begin() + mid, votes.begin() + to,
                 scratch.begin() + from);
      parts[out++] = to;
    }
    parts.resize(out);
    votes.swap(scratch);
  }
}

}  // namespace

void collect_candidates(std::span<const SeedLookups::Bucket> buckets, int length, int seed_length,
                        std::int64_t max_start, CandidateWork& work,
                        std::vector<SpliceCandidate>& out, std::vector<std::uint64_t>* seed_masks) {
  out.clear();
  if (seed_masks) seed_masks->clear();
  auto& runs = work.runs;
  runs.clear();
  const int seeds = static_cast<int>(buckets.size());
  std::size_t total = 0;
  std::int64_t lowest = max_start;  // the range of the starts voted for
  std::int64_t highest = 0;
  for (int j = 0; j < seeds; ++j) {
    const std::int64_t offset = seed_read_position(j, seeds, length, seed_length);
    const SeedLookups::Bucket b = usable_part(buckets[j], offset, max_start);
    runs.push_back({b.data(), b.data() + b.size(), offset});
    total += b.size();
    if (!b.empty()) {
      lowest = std::min(lowest, b.front() - offset);
      highest = std::max(highest, b.back() - offset);
    }
  }
  if (total == 0) return;
  // Stretches of 2^shift starts over that range, about a sixteenth as many as
  // votes (the votes of a satellite array's read fill a small part of the
  // segment).
  const int bits = std::bit_width(static_cast<std::uint64_t>(highest - lowest + 1));
  const int want = std::bit_width(std::max<std::size_t>(total / 16, 1));
  const int shift = std::max(0, bits - want);
  auto& votes = work.votes;
  auto& parts = work.parts;
  for (;;) {
    // The next stretch that holds a vote.
    std::int64_t stretch = -1;
    for (const auto& r : runs)
      if (r.next != r.end) {
        const std::int64_t k = (*r.next - r.offset - lowest) >> shift;
        if (stretch < 0 || k < stretch) stretch = k;
      }
    if (stretch < 0) break;
    const std::int64_t limit = lowest + ((stretch + 1) << shift);  // starts below it
    votes.clear();
    parts.assign(1, 0);
    for (std::size_t j = 0; j < runs.size(); ++j) {
      auto& r = runs[j];
      // Vote key: start in the high half, seed number in the low half, so
      // that sorting orders the votes of one start by seed number.
      for (; r.next != r.end && *r.next - r.offset < limit; ++r.next)
        votes.push_back(static_cast<std::uint64_t>(*r.next - r.offset) << 32 | (j + 1));
      if (votes.size() != parts.back()) parts.push_back(votes.size());
    }
    sort_stretch(votes, parts, work.scratch);
    for (const std::uint64_t vote : votes) {
      const auto start = static_cast<std::int32_t>(vote >> 32);
      const auto seed = static_cast<std::int32_t>(vote & 0xffffffffu);
      const std::uint64_t bit = seed <= 64 ? std::uint64_t{1} << (seed - 1) : 0;
      if (!out.empty() && out.back().start == start) {
        ++out.back().hits;
        if (seed_masks) seed_masks->back() |= bit;
        continue;
      }
      out.push_back({start, 1, seed});
      if (seed_masks) seed_masks->push_back(bit);
    }
  }
}

}  // namespace quilm
