#include "splice/splice_pairs.hpp"

#include <algorithm>
#include <bit>

namespace quilm {

namespace {

bool is_donor(DonorSet donors, char x, char y) {
  if (x == 'G' && y == 'T') return true;
  if (donors == DonorSet::kForward) return (x == 'G' && y == 'C') || (x == 'A' && y == 'T');
  return x == 'C' && y == 'T';
}

}  // namespace

bool leading_part_fits(std::string_view q, const char* segment, const SpliceCandidate& a,
                       int seed_length, int max_errors, DonorSet donors) {
  const char* ref = segment + (a.start - 1);
  const std::int64_t last = static_cast<std::int64_t>(q.size()) - 3;
  const std::int64_t donor_from = std::int64_t{a.first_seed} * seed_length;
  int e = 0;
  for (std::int64_t i = 0; i <= last && e <= max_errors; ++i) {
    if (q[i] != ref[i]) ++e;
    if (i >= donor_from && is_donor(donors, ref[i + 1], ref[i + 2])) break;
  }
  return e <= max_errors;
}

namespace {

// A candidate's check as a first part: not made yet, or its result.
enum : std::uint8_t { kUnchecked = 0, kFits = 1, kUnfit = 2 };

}  // namespace

void PairList::clear(std::span<const SpliceCandidate> candidates) {
  candidates_ = candidates;
  groups_.clear();
  members_.clear();
  profiled_ = nullptr;
  threshold_ = 1;
  max_hits_ = 0;
  empty_ = true;
}

void PairList::form(std::span<const SpliceCandidate> candidates,
                    std::span<const std::uint64_t> seed_masks, std::string_view q,
                    const char* segment, const PairRules& rules, DonorSet donors,
                    int lowest_level) {
  clear(candidates);
  masks_ = seed_masks;
  by_mask_ = rules.seeds <= 64 && seed_masks.size() == candidates.size();
  q_ = q;
  segment_ = segment;
  rules_ = rules;
  donors_ = donors;
  // Starts ascend strictly, so a partner at least one base on is a later
  // candidate.
  nearest_ = std::max(1, rules.min_gap_distance);
  farthest_ = rules.max_gap_distance;
  if (candidates.size() < 2 || rules.pair_cap <= 0 || farthest_ < nearest_) return;
  max_hits_ = 0;
  for (const SpliceCandidate& c : candidates_) max_hits_ = std::max(max_hits_, c.hits);
  first_.assign(candidates.size(), kUnchecked);
  // The list's threshold is the first t from 1 up at which fewer than
  // pair_cap pairs have a hit sum above t. Only whether it lies above
  // known_below matters, and a bound of the pairs above known_below that
  // counts every candidate as a first part, whatever its first seed, says
  // so for nearly every read without reading the reference.
  const std::int64_t known_below = std::max(1, lowest_level - 1);
  const auto cap = static_cast<std::uint64_t>(rules.pair_cap);
  if (pairs_above_bound(known_below) >= cap &&
      (count_pairs_above(known_below, false), above_of(known_below) >= cap)) {
    count_pairs_above(known_below, true);
    std::int64_t t = known_below;
    while (above_of(t) >= cap) ++t;
    threshold_ = t;
  } else {
    threshold_ = known_below;
  }
  empty_ = false;
  group_candidates();
}

// Pairs whose hit sum is above t, counting every candidate not first placed
// by the last seed as a first part and every candidate of its window as a
// partner: a running count of the window's candidates by hits.
std::uint64_t PairList::pairs_above_bound(std::int64_t t) {
  const std::size_t m = candidates_.size();
  // at_least[h]: window candidates with h hits or more.
  by_hits_in_window_.assign(static_cast<std::size_t>(max_hits_) + 2, 0);
  std::uint64_t* at_least = by_hits_in_window_.data();
  auto count = [&](const SpliceCandidate& c, std::uint64_t step) {
    for (int h = 1; h <= c.hits; ++h) at_least[h] += step;
  };
  std::uint64_t total = 0;
  std::size_t enter = 0;
  std::size_t leave = 0;
  for (std::size_t i = 0; i < m; ++i) {
    const SpliceCandidate& a = candidates_[i];
    while (enter < m && candidates_[enter].start - std::int64_t{a.start} <= farthest_)
      count(candidates_[enter++], 1);
    while (leave < enter && candidates_[leave].start - std::int64_t{a.start} < nearest_)
      count(candidates_[leave++], ~std::uint64_t{0});
    if (a.first_seed == rules_.seeds) continue;
    const std::int64_t low = std::max<std::int64_t>(1, t + 1 - a.hits);
    if (low <= max_hits_) total += at_least[low];
  }
  return total;
}

std::uint64_t PairList::above_of(std::int64_t t) const {
  std::uint64_t n = 0;
  for (std::size_t s = static_cast<std::size_t>(t) + 1; s < by_sum_.size(); ++s) n += by_sum_[s];
  return n;
}

// The pairs above t by hit sum: one sweep over the candidates in start
// order, the window of each one's partners by distance moving on with it,
// and a running count of the window's candidates by first seed (those from
// seed f up) and hits. With `checked`, only first parts that fit the
// reference count (exactly the list's pairs), and only those with a partner
// above t are checked; without, every possible first part counts.
void PairList::count_pairs_above(std::int64_t t, bool checked) {
  const std::size_t m = candidates_.size();
  const int seeds = rules_.seeds;
  const auto width = static_cast<std::size_t>(max_hits_) + 1;  // column 0: all hits
  from_seed_.assign((static_cast<std::size_t>(seeds) + 2) * width, 0);
  by_sum_.assign(2 * width, 0);
  auto count = [&](const SpliceCandidate& c, std::uint64_t step) {
    for (int f = 1; f <= c.first_seed; ++f)
      from_seed_[static_cast<std::size_t>(f) * width + static_cast<std::size_t>(c.hits)] += step;
  };
  std::size_t enter = 0;
  std::size_t leave = 0;
  for (std::size_t i = 0; i < m; ++i) {
    const SpliceCandidate& a = candidates_[i];
    while (enter < m && candidates_[enter].start - std::int64_t{a.start} <= farthest_)
      count(candidates_[enter++], 1);
    while (leave < enter && candidates_[leave].start - std::int64_t{a.start} < nearest_)
      count(candidates_[leave++], ~std::uint64_t{0});
    if (a.first_seed == seeds) continue;
    // Partners must have been first placed by a later seed.
    const std::uint64_t* row =
        from_seed_.data() + static_cast<std::size_t>(a.first_seed + 1) * width;
    const auto low = static_cast<std::size_t>(std::max<std::int64_t>(1, t + 1 - a.hits));
    bool any = false;
    for (std::size_t h = low; h < width && !any; ++h) any = row[h] != 0;
    if (!any || (checked && !first_part(static_cast<std::uint32_t>(i)))) continue;
    for (std::size_t h = low; h < width; ++h)
      by_sum_[static_cast<std::size_t>(a.hits) + h] += row[h];
  }
}

bool PairList::first_part(std::uint32_t a) {
  std::uint8_t& state = first_[a];
  if (state == kUnchecked)
    state = leading_part_fits(q_, segment_, candidates_[a], rules_.seed_length, rules_.max_errors,
                              donors_)
                ? kFits
                : kUnfit;
  return state == kFits;
}

// Groups by seed set through a hash table of the sets met, then by hits;
// each group keeps its members in list order.
void PairList::group_candidates() {
  const std::size_t m = candidates_.size();
  // Room for twice the sets there can be: at most one per candidate, and a
  // read of s seeds has at most 2^s of them.
  const std::size_t most = rules_.seeds < 30 ? std::min(m, std::size_t{1} << rules_.seeds) : m;
  std::size_t size = 16;
  while (size < 2 * most) size <<= 1;
  slots_.assign(size, 0);
  group_of_.resize(m);
  std::vector<Group>& groups = group_scratch_;
  groups.clear();
  for (std::size_t i = 0; i < m; ++i) {
    const std::uint64_t key =
        by_mask_ ? masks_[i] : static_cast<std::uint64_t>(candidates_[i].hits);
    std::size_t h = static_cast<std::size_t>((key * 0x9E3779B97F4A7C15u) >> 40) & (size - 1);
    while (slots_[h] != 0 && groups[slots_[h] - 1].key != key) h = (h + 1) & (size - 1);
    if (slots_[h] == 0) {
      groups.push_back({key, candidates_[i].hits, 0, 0});
      slots_[h] = static_cast<std::uint32_t>(groups.size());
    }
    group_of_[i] = slots_[h] - 1;
    ++groups[group_of_[i]].size;
  }
  // Groups ordered by hits (a counting sort), and where each one's members
  // go; slots_ maps a group's first number to its place.
  hits_from_.assign(static_cast<std::size_t>(max_hits_) + 2, 0);
  for (const Group& g : groups) ++hits_from_[static_cast<std::size_t>(g.hits) + 1];
  for (std::size_t h = 1; h < hits_from_.size(); ++h) hits_from_[h] += hits_from_[h - 1];
  fill_.assign(hits_from_.begin(), hits_from_.end() - 1);
  groups_.resize(groups.size());
  slots_.resize(groups.size());
  for (std::uint32_t g = 0; g < groups.size(); ++g) {
    const std::uint32_t at = fill_[static_cast<std::size_t>(groups[g].hits)]++;
    groups_[at] = groups[g];
    slots_[g] = at;
  }
  std::uint32_t from = 0;
  for (Group& g : groups_) {
    g.from = from;
    from += g.size;
    g.size = 0;
  }
  members_.resize(m);
  for (std::uint32_t i = 0; i < m; ++i) {
    Group& g = groups_[slots_[group_of_[i]]];
    members_[g.from + g.size++] = i;
  }
}

// The pairs of a group of first parts with a group of second parts: each
// member of the smaller group finds its partners in the other by binary
// search over their starts.
void PairList::join(const Group& firsts, const Group& seconds, CutSites* sites,
                    std::vector<std::pair<std::uint32_t, std::uint32_t>>& out) const {
  const auto as = members(firsts);
  const auto bs = members(seconds);
  auto start_below = [&](std::uint32_t i, std::int64_t v) { return candidates_[i].start < v; };
  const int seeds = rules_.seeds;
  auto take = [&](std::uint32_t a, std::uint32_t b) {
    if (first_[a] == kUnfit || candidates_[a].first_seed == seeds) return;
    if (candidates_[a].first_seed >= candidates_[b].first_seed) return;
    if (sites == nullptr || sites->may_cut(a, b)) out.emplace_back(a, b);
  };
  if (as.size() <= bs.size()) {
    for (const std::uint32_t a : as) {
      if (first_[a] == kUnfit || candidates_[a].first_seed == seeds ||
          (sites && !sites->may_open(a)))
        continue;
      const std::int64_t at = candidates_[a].start;
      auto b = std::lower_bound(bs.begin(), bs.end(), at + nearest_, start_below);
      for (; b != bs.end() && candidates_[*b].start - at <= farthest_; ++b) take(a, *b);
    }
  } else {
    for (const std::uint32_t b : bs) {
      if (sites && !sites->may_close(b)) continue;
      const std::int64_t at = candidates_[b].start;
      auto a = std::lower_bound(as.begin(), as.end(), at - farthest_, start_below);
      for (; a != as.end() && at - candidates_[*a].start >= nearest_; ++a) take(*a, b);
    }
  }
}

void PairList::pairs_at(std::int64_t level, const SeedZones& zones, CutSites* sites,
                        std::vector<std::pair<std::uint32_t, std::uint32_t>>& out) {
  out.clear();
  if (empty_ || level <= threshold_) return;
  const bool profiled = by_mask_ && zones.rules_out();
  if (profiled && profiled_ != &zones) {
    profiles_.resize(groups_.size());
    for (std::size_t g = 0; g < groups_.size(); ++g) profiles_[g] = zones.profile(groups_[g].key);
    profiled_ = &zones;
  }
  const int seeds = rules_.seeds;
  for (std::int64_t h = 1; h < level && h <= max_hits_; ++h) {
    const std::int64_t other = level - h;
    if (other > max_hits_ || !zones.split_possible(static_cast<int>(h), static_cast<int>(other)))
      continue;
    for (std::uint32_t x = hits_from_[h]; x < hits_from_[h + 1]; ++x) {
      const Group& a = groups_[x];
      // With seed sets, a group's first seed is its lowest bit.
      const int first_a = by_mask_ ? std::countr_zero(a.key) + 1 : 0;
      if (by_mask_ && first_a == seeds) continue;
      for (std::uint32_t y = hits_from_[other]; y < hits_from_[other + 1]; ++y) {
        const Group& b = groups_[y];
        if (by_mask_ && first_a >= std::countr_zero(b.key) + 1) continue;
        if (profiled && !zones.pair_possible(profiles_[x], profiles_[y])) continue;
        join(a, b, sites, out);
      }
    }
  }
  std::sort(out.begin(), out.end());
  // The reference check of a first part comes last: it reads the segment.
  std::erase_if(out, [&](const auto& p) { return !first_part(p.first); });
}

std::vector<SplicePair> PairList::all_pairs() {
  std::vector<SplicePair> out;
  if (empty_) return out;
  for (std::uint32_t i = 0; i < candidates_.size(); ++i) {
    const SpliceCandidate& a = candidates_[i];
    if (a.first_seed == rules_.seeds || !first_part(i)) continue;
    for (std::uint32_t j = i + 1; j < candidates_.size(); ++j) {
      const SpliceCandidate& b = candidates_[j];
      const std::int64_t d = std::int64_t{b.start} - a.start;
      if (d > farthest_) break;
      const std::int32_t sum = a.hits + b.hits;
      if (d >= nearest_ && a.first_seed < b.first_seed && sum > threshold_)
        out.push_back({a.start, b.start, sum});
    }
  }
  return out;
}

}  // namespace quilm
