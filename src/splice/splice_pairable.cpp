#include "splice/splice_pairable.hpp"

#include <algorithm>

#include "worker/seed_index.hpp"

namespace quilm {

namespace {

// Beyond this many candidates of two hits or more, their partners are not
// looked for one by one.
constexpr std::size_t kMostStrong = 64;
// Beyond this many votes the hash table no longer pays against the sorted
// collection.
constexpr std::size_t kMostHashedVotes = 4096;

bool partners(const PairableRule& rule, std::int64_t a, std::int64_t b) {
  const std::int64_t d = a < b ? b - a : a - b;
  return d >= rule.nearest && d <= rule.farthest;
}

// Some candidate of the sorted list lies a partner distance from `start`.
bool any_partner(std::span<const SpliceCandidate> list, std::int64_t start,
                 const PairableRule& rule) {
  auto below = [](const SpliceCandidate& c, std::int64_t v) { return c.start < v; };
  const auto right = std::lower_bound(list.begin(), list.end(), start + rule.nearest, below);
  if (right != list.end() && right->start <= start + rule.farthest) return true;
  // The last candidate at least `nearest` before.
  const auto left = std::lower_bound(list.begin(), list.end(), start - rule.nearest + 1, below);
  return left != list.begin() && std::prev(left)->start >= start - rule.farthest;
}

void keep_flagged(std::vector<SpliceCandidate>& candidates, std::vector<std::uint64_t>& masks,
                  const std::vector<std::uint8_t>& keep) {
  std::size_t kept = 0;
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    if (!keep[i]) continue;
    candidates[kept] = candidates[i];
    masks[kept] = masks[i];
    ++kept;
  }
  candidates.resize(kept);
  masks.resize(kept);
}

std::size_t hash_slot(std::int64_t start, std::size_t size) {
  return static_cast<std::size_t>((static_cast<std::uint64_t>(start) * 0x9E3779B97F4A7C15u) >> 40) &
         (size - 1);
}

// The distinct starts of the votes with their hits, first seed and seed
// set; false when the votes are too many for the table.
bool count_starts(std::span<const SeedLookups::Bucket> buckets, int length, int seed_length,
                  std::int64_t max_start, PairableWork& w) {
  std::size_t total = 0;
  for (const SeedLookups::Bucket& b : buckets) total += b.size();
  if (total > kMostHashedVotes) return false;
  // Cleared for every strand of every read in every segment, so no larger
  // than the votes need: the starts are listed in the order they first
  // vote, whatever the table's size.
  std::size_t size = 16;
  while (size < 2 * total) size <<= 1;
  w.slots.assign(size, {0, 0, 0, 0});
  w.used.clear();
  const int seeds = static_cast<int>(buckets.size());
  for (int j = 0; j < seeds; ++j) {
    const std::int64_t offset = seed_read_position(j, seeds, length, seed_length);
    const std::uint64_t bit = j < 64 ? std::uint64_t{1} << j : 0;
    for (const std::int32_t p : buckets[j]) {
      const std::int64_t start = p - offset;
      if (start < 1 || start > max_start) continue;
      std::size_t h = hash_slot(start, size);
      while (w.slots[h].start != 0 && w.slots[h].start != start) h = (h + 1) & (size - 1);
      PairableWork::Start& s = w.slots[h];
      if (s.start == 0) {
        // Seeds come in order, so the first to vote is the lowest.
        s = {start, 0, j + 1, 0};
        w.used.push_back(static_cast<std::uint32_t>(h));
      }
      ++s.hits;
      s.mask |= bit;
    }
  }
  return true;
}

bool hashed_has_partner(const PairableWork& w, const PairableWork::Start& c,
                        const PairableRule& rule) {
  const int needed = rule.min_sum - c.hits;
  for (const std::uint32_t d : needed <= 1 ? w.used : w.strong) {
    const PairableWork::Start& o = w.slots[d];
    if (o.hits >= needed && partners(rule, c.start, o.start)) return true;
  }
  return false;
}

}  // namespace

void keep_pairable(std::vector<SpliceCandidate>& candidates, std::vector<std::uint64_t>& masks,
                   const PairableRule& rule, PairableWork& w) {
  const std::size_t n = candidates.size();
  std::vector<std::uint32_t>& strong = w.strong_at;
  strong.clear();
  int most = 0;
  for (std::size_t i = 0; i < n; ++i) {
    most = std::max(most, candidates[i].hits);
    if (candidates[i].hits >= 2) strong.push_back(static_cast<std::uint32_t>(i));
  }
  std::vector<std::uint8_t>& keep = w.keep;
  keep.assign(n, 0);
  for (std::size_t i = 0; i < n; ++i) {
    const SpliceCandidate& c = candidates[i];
    const int needed = rule.min_sum - c.hits;
    if (strong.size() > kMostStrong) {
      keep[i] = c.hits + most >= rule.min_sum;
    } else if (needed <= 1) {
      keep[i] = any_partner(candidates, c.start, rule);
    } else {
      for (const std::uint32_t d : strong)
        if (candidates[d].hits >= needed && partners(rule, c.start, candidates[d].start)) {
          keep[i] = 1;
          break;
        }
    }
  }
  keep_flagged(candidates, masks, keep);
}

void collect_pairable(std::span<const SeedLookups::Bucket> buckets, int length, int seed_length,
                      std::int64_t max_start, const PairableRule& rule, CandidateWork& collect,
                      PairableWork& w, std::vector<SpliceCandidate>& out,
                      std::vector<std::uint64_t>& masks) {
  if (rule.min_sum >= 3 && count_starts(buckets, length, seed_length, max_start, w)) {
    w.strong.clear();
    for (const std::uint32_t u : w.used)
      if (w.slots[u].hits >= 2) w.strong.push_back(u);
    out.clear();
    masks.clear();
    // A single hit needs a partner of two hits or more.
    if (w.strong.empty()) return;
    if (w.strong.size() <= kMostStrong) {
      w.order.clear();
      for (const std::uint32_t u : w.used)
        if (hashed_has_partner(w, w.slots[u], rule)) w.order.push_back(u);
      std::sort(w.order.begin(), w.order.end(), [&](std::uint32_t a, std::uint32_t b) {
        return w.slots[a].start < w.slots[b].start;
      });
      for (const std::uint32_t u : w.order) {
        const PairableWork::Start& s = w.slots[u];
        out.push_back({static_cast<std::int32_t>(s.start), s.hits, s.first_seed});
        masks.push_back(s.mask);
      }
      return;
    }
  }
  collect_candidates(buckets, length, seed_length, max_start, collect, out, &masks);
  keep_pairable(out, masks, rule, w);
}

}  // namespace quilm
