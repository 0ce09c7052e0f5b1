#include "splice/splice_pairs.hpp"

#include <algorithm>

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

void PairList::clear(std::span<const SpliceCandidate> candidates) {
  candidates_ = candidates;
  firsts_.clear();
  by_hits_.clear();
  hits_from_.clear();
  pairs_ = 0;
  threshold_ = 1;
  max_hits_ = 0;
}

void PairList::form(std::span<const SpliceCandidate> candidates, std::string_view q,
                    const char* segment, const PairRules& rules, DonorSet donors) {
  clear(candidates);
  if (candidates.size() < 2 || rules.pair_cap <= 0) return;
  count_pairs(q, segment, rules, donors);
  // The lowest threshold from 1 up at which fewer than pair_cap pairs have
  // a larger hit sum.
  std::uint64_t above = 0;  // pairs with a hit sum above the threshold
  for (std::size_t s = 2; s < by_sum_.size(); ++s) above += by_sum_[s];
  const auto cap = static_cast<std::uint64_t>(rules.pair_cap);
  std::int64_t t = 1;
  while (above >= cap) {
    ++t;
    above -= by_sum_[static_cast<std::size_t>(t)];
  }
  threshold_ = t;
  pairs_ = above;
  if (pairs_ > 0) group_by_hits();
}

// One sweep over the candidates in start order: the window of each one's
// partners by distance moves on with it, and a running count of the
// window's candidates by first seed (those from seed f up) and hits gives,
// for a first part, its partners of every hit sum at once.
void PairList::count_pairs(std::string_view q, const char* segment, const PairRules& rules,
                           DonorSet donors) {
  const std::size_t m = candidates_.size();
  const int seeds = rules.seeds;
  for (const SpliceCandidate& c : candidates_) max_hits_ = std::max(max_hits_, c.hits);
  const auto width = static_cast<std::size_t>(max_hits_) + 1;  // column 0: all hits
  from_seed_.assign((static_cast<std::size_t>(seeds) + 2) * width, 0);
  by_sum_.assign(2 * width, 0);
  window_begin_.resize(m);
  window_end_.resize(m);
  // Starts ascend strictly, so a partner at least one base on is a later
  // candidate.
  const std::int64_t nearest = std::max(1, rules.min_gap_distance);
  const std::int64_t farthest = rules.max_gap_distance;
  auto count = [&](const SpliceCandidate& c, std::uint64_t step) {
    for (int f = 1; f <= c.first_seed; ++f) {
      std::uint64_t* row = from_seed_.data() + static_cast<std::size_t>(f) * width;
      row[0] += step;
      row[c.hits] += step;
    }
  };
  std::size_t enter = 0;
  std::size_t leave = 0;
  for (std::size_t i = 0; i < m; ++i) {
    const SpliceCandidate& a = candidates_[i];
    while (enter < m && candidates_[enter].start - std::int64_t{a.start} <= farthest)
      count(candidates_[enter++], 1);
    while (leave < enter && candidates_[leave].start - std::int64_t{a.start} < nearest)
      count(candidates_[leave++], ~std::uint64_t{0});
    window_begin_[i] = static_cast<std::uint32_t>(leave);
    window_end_[i] = static_cast<std::uint32_t>(std::max(leave, enter));
    if (a.first_seed == seeds || farthest < nearest) continue;
    // Partners must have been first placed by a later seed.
    const std::uint64_t* row =
        from_seed_.data() + static_cast<std::size_t>(a.first_seed + 1) * width;
    if (row[0] == 0) continue;
    if (!leading_part_fits(q, segment, a, rules.seed_length, rules.max_errors, donors)) continue;
    firsts_.push_back(static_cast<std::uint32_t>(i));
    for (std::size_t h = 1; h < width; ++h) by_sum_[static_cast<std::size_t>(a.hits) + h] += row[h];
  }
}

void PairList::group_by_hits() {
  hits_from_.assign(static_cast<std::size_t>(max_hits_) + 2, 0);
  for (const SpliceCandidate& c : candidates_) ++hits_from_[static_cast<std::size_t>(c.hits) + 1];
  for (std::size_t h = 1; h < hits_from_.size(); ++h) hits_from_[h] += hits_from_[h - 1];
  by_hits_.resize(candidates_.size());
  fill_.assign(hits_from_.begin(), hits_from_.end() - 1);
  for (std::size_t i = 0; i < candidates_.size(); ++i)
    by_hits_[fill_[static_cast<std::size_t>(candidates_[i].hits)]++] =
        static_cast<std::uint32_t>(i);
}

std::vector<SplicePair> PairList::all_pairs() const {
  std::vector<SplicePair> out;
  if (pairs_ == 0) return out;
  for (const std::uint32_t i : firsts_) {
    const SpliceCandidate& a = candidates_[i];
    for (std::uint32_t j = window_begin_[i]; j < window_end_[i]; ++j) {
      const SpliceCandidate& b = candidates_[j];
      const std::int32_t sum = a.hits + b.hits;
      if (a.first_seed < b.first_seed && sum > threshold_) out.push_back({a.start, b.start, sum});
    }
  }
  return out;
}

}  // namespace quilm
