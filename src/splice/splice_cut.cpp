#include "splice/splice_cut.hpp"

#include <algorithm>

namespace quilm {

namespace {

// Each part may carry at most one mismatch per ten bases it spans. The cut
// rules state the bound as errors <= 0.1 * bases in double arithmetic; for
// counts of 0 or more that is exactly 10 * errors <= bases (0.1 as a double
// lies just above a tenth, so the rounded product never falls below a
// whole bound).
bool within_tenth(int errors, int bases) {
  return 10 * errors <= bases;
}

void mismatch_profiles(std::string_view q, const char* w1, const char* w2, CutScratch& s) {
  const int n = static_cast<int>(q.size());
  s.left.resize(n);
  s.right.resize(n);
  int e = 0;
  for (int i = 0; i < n; ++i) s.left[i] = e += q[i] != w1[i];
  e = 0;
  for (int j = n - 1; j >= 0; --j) s.right[j] = e += q[j] != w2[j];
}

// Whether some cut whose parts both keep within a tenth has at most
// max_errors errors in all. The fewest errors of such cuts count as 200 when
// there is none, so an error bound of 200 or more always passes.
bool some_cut_within(const CutScratch& s, int n, int max_errors) {
  if (max_errors >= 200) return true;
  for (int i = 0; i + 1 < n; ++i) {
    if (s.left[i] + s.right[i + 1] <= max_errors && within_tenth(s.left[i], i) &&
        within_tenth(s.right[i + 1], n - i))
      return true;
  }
  return false;
}

}  // namespace

int signal_type(SignalFamily family, char d1, char d2, char a1, char a2) {
  if (family == SignalFamily::kForward) {
    if (d1 == 'G' && d2 == 'T' && a1 == 'A' && a2 == 'G') return 3;
    if (d1 == 'G' && d2 == 'C' && a1 == 'A' && a2 == 'G') return 2;
    if (d1 == 'A' && d2 == 'T' && a1 == 'A' && a2 == 'C') return 2;
    return 0;
  }
  if (d1 == 'C' && d2 == 'T' && a1 == 'A' && a2 == 'C') return 3;
  if (d1 == 'C' && d2 == 'T' && a1 == 'G' && a2 == 'C') return 2;
  if (d1 == 'G' && d2 == 'T' && a1 == 'A' && a2 == 'T') return 2;
  return 0;
}

bool evaluate_pair(std::string_view q, const char* w1, const char* w2, SignalFamily family,
                   int seed_length, int max_errors, CutScratch& scratch, std::string& signals,
                   SpliceCut& cut) {
  const int n = static_cast<int>(q.size());
  mismatch_profiles(q, w1, w2, scratch);
  if (!some_cut_within(scratch, n, max_errors)) return false;
  signals.assign(static_cast<std::size_t>(n), '0');
  int best = 100;
  int split = 0;
  int best_type = 0;
  for (int a = 1; a <= n - 3; ++a) {
    const int total = scratch.left[a] + scratch.right[a + 1];
    if (total > max_errors) continue;
    const int type = signal_type(family, w1[a + 1], w1[a + 2], w2[a - 1], w2[a]);
    if (type == 0) continue;
    // Every signal within the error bound is marked, chosen or not.
    signals[a] = static_cast<char>('0' + type);
    if (!within_tenth(scratch.left[a], a) || !within_tenth(scratch.right[a + 1], n - a)) continue;
    if (a < seed_length || a >= n - seed_length) continue;
    // On equal errors the earlier cut stays, unless a canonical signal
    // replaces a minor one.
    if (total < best || (total == best && type == 3 && best_type < 3)) {
      best = total;
      split = a;
      best_type = type;
    }
  }
  if (split == 0) return false;
  cut.split = split;
  cut.errors = best;
  return true;
}

}  // namespace quilm
