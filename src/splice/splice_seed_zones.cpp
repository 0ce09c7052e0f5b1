#include "splice/splice_seed_zones.hpp"

#include <algorithm>
#include <bit>

#include "worker/seed_index.hpp"

namespace quilm {

void SeedZones::reset(int length, int seed_length, int seeds, std::uint64_t voting, int max_errors,
                      int lo, int hi) {
  zones_.clear();
  length_ = length;
  max_errors_ = max_errors;
  rules_out_ = seeds <= 64 && max_errors <= kMaxErrors;
  overlap_ = 0;
  if (!rules_out_ || hi < lo) return;
  if (seeds >= 2 && length % seed_length != 0) {
    const std::uint64_t last_two = std::uint64_t{3} << (seeds - 2);
    if ((voting & last_two) == last_two) overlap_ = last_two;
  }
  // Zone boundaries: a seed joins the first part at the cut on its last
  // base and leaves the second part at the cut just before its first base.
  std::vector<int> cuts{lo, hi + 1};
  for (int j = 0; j < seeds; ++j) {
    const int begin = seed_read_position(j, seeds, length, seed_length);
    for (const int at : {begin + seed_length - 1, begin})
      if (at > lo && at <= hi) cuts.push_back(at);
  }
  std::sort(cuts.begin(), cuts.end());
  cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
  for (std::size_t k = 0; k + 1 < cuts.size(); ++k) {
    Zone z{cuts[k], cuts[k + 1] - 1, 0, 0};
    for (int j = 0; j < seeds; ++j) {
      if (((voting >> j) & 1) == 0) continue;
      const int begin = seed_read_position(j, seeds, length, seed_length);
      if (begin + seed_length - 1 <= z.from) z.before |= std::uint64_t{1} << j;
      if (begin >= z.to + 1) z.after |= std::uint64_t{1} << j;
    }
    zones_.push_back(z);
  }
  if (zones_.size() > 64) rules_out_ = false;
}

// Mismatches at least held by the seeds of one side that a candidate misses.
int SeedZones::misses(std::uint64_t side, std::uint64_t hits) const {
  const std::uint64_t missed = side & ~hits;
  return std::popcount(missed) - ((missed & overlap_) == overlap_ && overlap_ != 0);
}

// Some cut of the zone keeps both parts within the bounds, given at least
// these mismatches in each.
bool SeedZones::fits(const Zone& z, int first_misses, int second_misses) const {
  if (first_misses + second_misses > max_errors_) return false;
  return std::max(z.from, 10 * first_misses) <= std::min(z.to, length_ - 10 * second_misses);
}

bool SeedZones::split_possible(int hits_first, int hits_second) const {
  if (!rules_out_) return true;
  for (const Zone& z : zones_) {
    // At best the candidates' hits all lie on their own side, and the
    // overlapping pair is among the missed seeds.
    const auto least = [&](std::uint64_t side, int hits) {
      const int seeds = std::popcount(side);
      const int shared = (side & overlap_) == overlap_ && overlap_ != 0;
      return std::max(0, seeds - hits - shared);
    };
    if (fits(z, least(z.before, hits_first), least(z.after, hits_second))) return true;
  }
  return false;
}

bool SeedZones::pair_possible(std::uint64_t first, std::uint64_t second) const {
  if (!rules_out_) return true;
  for (const Zone& z : zones_)
    if (fits(z, misses(z.before, first), misses(z.after, second))) return true;
  return false;
}

}  // namespace quilm

namespace quilm {

SeedZones::Profile SeedZones::profile(std::uint64_t hits) const {
  Profile p{};
  if (!rules_out_) {
    for (int k = 0; k <= kMaxErrors; ++k) p.first[k] = p.second[k] = ~std::uint64_t{0};
    return p;
  }
  for (std::size_t z = 0; z < zones_.size(); ++z) {
    const std::uint64_t bit = std::uint64_t{1} << z;
    const int first = misses(zones_[z].before, hits);
    const int second = misses(zones_[z].after, hits);
    for (int k = 0; k <= max_errors_; ++k) {
      if (first <= k && 10 * first <= zones_[z].to) p.first[k] |= bit;
      if (second <= k && 10 * second <= length_ - zones_[z].from) p.second[k] |= bit;
    }
  }
  return p;
}

bool SeedZones::pair_possible(const Profile& first, const Profile& second) const {
  if (!rules_out_) return true;
  for (int k = 0; k <= max_errors_; ++k)
    if ((first.first[k] & second.second[max_errors_ - k]) != 0) return true;
  return false;
}

}  // namespace quilm
