#include "worker/vote_collection.hpp"

#include <algorithm>
#include <bit>

#include "worker/seed_index.hpp"

namespace quilm {

namespace {

// The small buckets are used when all votes outnumber theirs by this factor
// or more: each of their starts then costs a binary search per other bucket.
constexpr std::size_t kSmallBucketGain = 4;

bool in_range(std::int64_t start, std::int64_t upper) {
  return start > 0 && (upper < 0 || start < upper);
}

}  // namespace

void VoteTable::begin(std::size_t votes) {
  std::size_t want = 64;
  while (want < 2 * votes) want <<= 1;
  if (want > slots_.size()) {
    slots_.assign(want, Slot{});
    stamp_ = 0;
  }
  // The smallest power of two that fits, so that small reads stay in cache.
  mask_ = static_cast<std::uint32_t>(want - 1);
  if (++stamp_ == 0) {
    for (Slot& s : slots_) s.stamp = 0;
    stamp_ = 1;
  }
}

// Starts of one block of 16 land in neighbouring slots, so that the votes
// around a start (seeds_missing_between) lie in the cache lines of its own
// slot; the blocks are spread by a multiplicative hash.
std::uint32_t VoteTable::home(std::int32_t start) {
  const auto s = static_cast<std::uint32_t>(start);
  return (((s >> 4) * 0x9E3779B1u) >> 7 << 4) | (s & 15);
}

std::uint32_t VoteTable::vote(std::int32_t start) {
  std::uint32_t h = home(start);
  for (;;) {
    h &= mask_;
    Slot& s = slots_[h];
    if (s.stamp != stamp_) {
      s.stamp = stamp_;
      s.start = start;
      s.count = 1;
      s.seeds = 0;
      return h;
    }
    if (s.start == start) {
      ++s.count;
      return h;
    }
    ++h;
  }
}

std::int64_t VoteTable::find(std::int32_t start) const {
  if (slots_.empty()) return -1;
  std::uint32_t h = home(start);
  for (;;) {
    h &= mask_;
    const Slot& s = slots_[h];
    if (s.stamp != stamp_) return -1;
    if (s.start == start) return h;
    ++h;
  }
}

std::uint32_t StrandVotes::seeds_between(std::int64_t from, std::int64_t to) const {
  std::uint32_t seen = 0;
  for (std::int64_t s = from; s <= to; ++s) {
    const std::int64_t slot = table_.find(static_cast<std::int32_t>(s));
    if (slot >= 0) seen |= table_.seeds(static_cast<std::uint32_t>(slot));
  }
  return seen;
}

std::span<const std::uint32_t> StrandVotes::at_level(std::uint32_t hits) {
  if (!grouped_) {
    grouped_ = true;
    std::uint32_t top = 0;
    for (const Candidate& c : list_) top = std::max(top, c.hits);
    level_from_.assign(static_cast<std::size_t>(top) + 2, 0);
    for (const Candidate& c : list_) ++level_from_[c.hits + 1];
    for (std::size_t h = 1; h < level_from_.size(); ++h) level_from_[h] += level_from_[h - 1];
    by_level_.resize(list_.size());
    std::vector<std::uint32_t>& fill = fresh_;  // scratch
    fill.assign(level_from_.begin(), level_from_.end() - 1);
    for (std::uint32_t i = 0; i < list_.size(); ++i) by_level_[fill[list_[i].hits]++] = i;
  }
  if (hits + 1 >= level_from_.size()) return {};
  return std::span<const std::uint32_t>(by_level_).subspan(
      level_from_[hits], level_from_[hits + 1] - level_from_[hits]);
}

void StrandVotes::collect(const SeedVotes& in, std::uint32_t floor, Route route) {
  list_.clear();
  grouped_ = false;
  const std::size_t seeds = in.buckets.size();
  std::size_t total = 0;
  for (const auto& b : in.buckets) total += b.size();
  if (floor >= seeds || total == 0) {
    table_.begin(0);  // no start can have more than `floor` votes
    return;
  }
  if (route == Route::kAllVotes || (route == Route::kCheapest && floor == 0)) {
    collect_all(in, total, floor);
    return;
  }
  // Every start with more than `floor` votes occurs in one of the
  // seeds - floor smallest buckets.
  order_.resize(seeds);
  for (std::size_t i = 0; i < seeds; ++i) order_[i] = static_cast<std::uint32_t>(i);
  const std::size_t small = seeds - floor;
  std::nth_element(order_.begin(), order_.begin() + static_cast<std::ptrdiff_t>(small - 1),
                   order_.end(), [&](std::uint32_t a, std::uint32_t b) {
                     return in.buckets[a].size() < in.buckets[b].size();
                   });
  std::size_t votes = 0;
  for (std::size_t k = 0; k < small; ++k) votes += in.buckets[order_[k]].size();
  if (route == Route::kCheapest && votes * kSmallBucketGain > total) {
    collect_all(in, total, floor);
    return;
  }
  collect_from_small(in, small, votes, floor);
}

// Every vote counted in seed order; the entries above the floor are kept.
void StrandVotes::collect_all(const SeedVotes& in, std::size_t total, std::uint32_t floor) {
  table_.begin(total);
  for (std::size_t i = 0; i < in.buckets.size(); ++i) {
    const std::int64_t off =
        seed_read_position(static_cast<int>(i), in.seeds, in.read_length, in.seed_length);
    for (const std::int32_t p : in.buckets[i]) {
      const std::int64_t start = p - off;
      if (!in_range(start, in.upper)) continue;
      const std::uint32_t slot = table_.vote(static_cast<std::int32_t>(start));
      if (i < 32) table_.mark(slot, std::uint32_t{1} << i);
      const std::uint32_t hits = table_.count(slot);
      if (hits > floor) list_.push_back({static_cast<std::int32_t>(start), hits, slot});
    }
  }
}

// The starts of the first `small` seeds of order_ (holding `votes`
// positions) are the candidates; each is counted in the other buckets and,
// when it has more than `floor` votes, its entries are made seed by seed.
void StrandVotes::collect_from_small(const SeedVotes& in, std::size_t small, std::size_t votes,
                                     std::uint32_t floor) {
  const std::size_t seeds = in.buckets.size();
  buckets_ = in.buckets;
  offsets_.resize(seeds);
  for (std::size_t i = 0; i < seeds; ++i)
    offsets_[i] = seed_read_position(static_cast<int>(i), in.seeds, in.read_length, in.seed_length);
  table_.begin(votes);
  fresh_.clear();
  for (std::size_t k = 0; k < small; ++k) {
    const std::uint32_t i = order_[k];
    for (const std::int32_t p : in.buckets[i]) {
      const std::int64_t start = p - offsets_[i];
      if (!in_range(start, in.upper)) continue;
      const std::uint32_t slot = table_.vote(static_cast<std::int32_t>(start));
      if (table_.count(slot) == 1) fresh_.push_back(slot);
    }
  }
  keyed_.clear();
  for (const std::uint32_t slot : fresh_) {
    const std::int32_t start = table_.start(slot);
    if (reaches(start, small, table_.count(slot), floor)) emit(start, slot, floor);
  }
  std::sort(keyed_.begin(), keyed_.end(),
            [](const Keyed& a, const Keyed& b) { return a.order < b.order; });
  for (const Keyed& k : keyed_) list_.push_back(k.entry);
}

// Whether start, with `votes` votes in the small buckets, gets more than
// `floor` votes in all; stops as soon as the answer is known.
bool StrandVotes::reaches(std::int32_t start, std::size_t small, std::uint32_t votes,
                          std::uint32_t floor) const {
  const std::size_t seeds = order_.size();
  for (std::size_t k = small; k < seeds; ++k) {
    if (votes > floor) return true;
    if (votes + (seeds - k) <= floor) return false;
    const std::uint32_t i = order_[k];
    const std::span<const std::int32_t> b = buckets_[i];
    if (std::binary_search(b.begin(), b.end(), start + offsets_[i])) ++votes;
  }
  return votes > floor;
}

// The entries of start above the floor: its votes in seed order, each keyed
// by the seed and the position's index in the seed's bucket (a bucket holds
// a start at most once).
void StrandVotes::emit(std::int32_t start, std::uint32_t slot, std::uint32_t floor) {
  std::uint32_t hits = 0;
  for (std::size_t i = 0; i < buckets_.size(); ++i) {
    const std::span<const std::int32_t> b = buckets_[i];
    const auto it = std::lower_bound(b.begin(), b.end(), start + offsets_[i]);
    if (it == b.end() || *it != start + offsets_[i]) continue;
    if (++hits <= floor) continue;
    const auto j = static_cast<std::uint64_t>(it - b.begin());
    keyed_.push_back({(std::uint64_t{i} << 32) | j, {start, hits, slot}});
  }
}

}  // namespace quilm
