#include "splice/splice_pairs.hpp"

namespace quilm {

namespace {

bool is_donor(DonorSet donors, char x, char y) {
  if (x == 'G' && y == 'T') return true;
  if (donors == DonorSet::kForward) return (x == 'G' && y == 'C') || (x == 'A' && y == 'T');
  return x == 'C' && y == 'T';
}

// State of a candidate as a first part: not yet checked, or the result of
// leading_part_fits. The check costs a pass over the read, so it is made
// only for candidates that have a partner, and once for all rounds.
enum : char { kUnchecked = 0, kUnusable = 1, kUsable = 2 };

struct FirstPartCheck {
  std::string_view q;
  const char* segment;
  const PairRules& rules;
  DonorSet donors;
  std::vector<char>& state;

  bool usable(std::span<const SpliceCandidate> cands, std::size_t i) {
    if (state[i] == kUnchecked) {
      const bool fits =
          leading_part_fits(q, segment, cands[i], rules.seed_length, rules.max_errors, donors);
      state[i] = fits ? kUsable : kUnusable;
    }
    return state[i] == kUsable;
  }
};

// One formation round at threshold t; stops adding at the cap.
void form_round(std::span<const SpliceCandidate> cands, FirstPartCheck& check, std::int64_t t,
                std::vector<SplicePair>& pairs) {
  const PairRules& rules = check.rules;
  const std::size_t cap = static_cast<std::size_t>(rules.pair_cap);
  const std::size_t m = cands.size();
  // Candidates lie far apart on a large segment; hinting the reference
  // bases of a later one hides the cache miss of its first-part check.
  constexpr std::size_t kAhead = 8;
  for (std::size_t i = 0; i + 1 < m && pairs.size() < cap; ++i) {
    if (i + kAhead < m) __builtin_prefetch(check.segment + (cands[i + kAhead].start - 1));
    const SpliceCandidate& a = cands[i];
    if (a.first_seed == rules.seeds) continue;
    bool checked = false;
    for (std::size_t j = i + 1; j < m && pairs.size() < cap; ++j) {
      const SpliceCandidate& b = cands[j];
      const std::int64_t d = std::int64_t{b.start} - a.start;
      // Starts ascend, so no later candidate can lie close enough.
      if (d > rules.max_gap_distance) break;
      if (d < rules.min_gap_distance || a.first_seed >= b.first_seed) continue;
      const std::int32_t sum = a.hits + b.hits;
      if (sum <= t) continue;
      if (!checked && !check.usable(cands, i)) break;
      checked = true;
      pairs.push_back({a.start, b.start, sum});
    }
  }
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

void form_pairs(std::span<const SpliceCandidate> candidates, std::string_view q,
                const char* segment, const PairRules& rules, DonorSet donors,
                std::vector<char>& usable, std::vector<SplicePair>& pairs) {
  pairs.clear();
  if (candidates.size() < 2 || rules.pair_cap <= 0) return;
  usable.assign(candidates.size(), kUnchecked);
  FirstPartCheck check{q, segment, rules, donors, usable};
  for (std::int64_t t = 1;; ++t) {
    pairs.clear();
    form_round(candidates, check, t, pairs);
    if (static_cast<std::int64_t>(pairs.size()) < rules.pair_cap) return;
  }
}

}  // namespace quilm
