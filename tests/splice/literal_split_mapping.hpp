// Split-read mapping of one segment written out step by step as its rules
// state it, with none of the worker's shortcuts: every vote inserted into a
// sorted list, the pair list formed pair by pair and formed anew each time it
// fills, every pair of a level evaluated with whole mismatch profiles. The
// worker's records must equal these byte for byte.
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "common/numbered_reads.hpp"
#include "common/seed_code.hpp"
#include "splice/splice_candidates.hpp"
#include "splice/splice_pairs.hpp"
#include "worker/seed_index.hpp"

namespace quilm::test {
inline namespace splice_data {

// Candidate collection: a vote counter per start, the first seed's votes
// appended, every later vote inserted into the sorted list by binary search.
inline std::vector<SpliceCandidate> literal_candidates(const SeedIndex& index,
                                                       const std::vector<std::int64_t>& keys,
                                                       int length, int c, std::int64_t max_start,
                                                       std::vector<int>& counters) {
  std::vector<SpliceCandidate> list;
  bool append = true;
  const int n = static_cast<int>(keys.size());
  for (int j = 0; j < n; ++j) {
    if (keys[j] < 0) continue;
    const int offset = j == n - 1 ? length - c : j * c;
    for (std::int32_t p : index.bucket(keys[j])) {
      const std::int64_t start = p - offset;
      if (start < 1 || start > max_start) continue;
      const int v = ++counters[start];
      const SpliceCandidate cand{static_cast<std::int32_t>(start), v, j + 1};
      if (append) {
        list.push_back(cand);
        continue;
      }
      auto it =
          std::upper_bound(list.begin(), list.end(), start,
                           [](std::int64_t s, const SpliceCandidate& x) { return s < x.start; });
      if (it != list.begin() && std::prev(it)->start == start)
        std::prev(it)->hits = v;
      else
        list.insert(it, cand);
    }
    if (!list.empty()) append = false;
  }
  for (const auto& cand : list) counters[cand.start] = 0;
  return list;
}

// The same list kept in an ordered map, for reads with tens of thousands of
// candidates: each start once, with its votes and the first seed that voted.
inline std::vector<SpliceCandidate> mapped_candidates(const SeedIndex& index,
                                                      const std::vector<std::int64_t>& keys,
                                                      int length, int c, std::int64_t max_start) {
  std::map<std::int64_t, SpliceCandidate> by_start;
  const int n = static_cast<int>(keys.size());
  for (int j = 0; j < n; ++j) {
    if (keys[j] < 0) continue;
    const int offset = j == n - 1 ? length - c : j * c;
    for (std::int32_t p : index.bucket(keys[j])) {
      const std::int64_t start = p - offset;
      if (start < 1 || start > max_start) continue;
      auto [it, fresh] =
          by_start.try_emplace(start, SpliceCandidate{static_cast<std::int32_t>(start), 0, j + 1});
      ++it->second.hits;
    }
  }
  std::vector<SpliceCandidate> list;
  for (const auto& [start, cand] : by_start) list.push_back(cand);
  return list;
}

inline bool literal_donor(bool forward_list, char x, char y) {
  if (x == 'G' && y == 'T') return true;
  if (forward_list) return (x == 'G' && y == 'C') || (x == 'A' && y == 'T');
  return x == 'C' && y == 'T';
}

// Pair formation with the threshold raised and the list formed anew while
// it fills up to the cap.
inline std::vector<SplicePair> literal_pairs(const std::vector<SpliceCandidate>& cands,
                                             std::string_view q, const char* segment,
                                             const PairRules& rules, bool forward_list) {
  std::vector<SplicePair> pairs;
  const std::size_t m = cands.size();
  const auto cap = static_cast<std::size_t>(std::max<std::int64_t>(rules.pair_cap, 0));
  const int length = static_cast<int>(q.size());
  for (int t = 1;; ++t) {
    pairs.clear();
    if (m < 2 || cap == 0) return pairs;
    for (std::size_t i = 0; i + 1 < m && pairs.size() < cap; ++i) {
      const SpliceCandidate& a = cands[i];
      if (a.first_seed == rules.seeds) continue;
      int e = 0;
      for (int k = 0; k <= length - 3 && e <= rules.max_errors; ++k) {
        if (q[k] != segment[a.start - 1 + k]) ++e;
        if (k >= a.first_seed * rules.seed_length &&
            literal_donor(forward_list, segment[a.start + k], segment[a.start + k + 1]))
          break;
      }
      if (e > rules.max_errors) continue;
      for (std::size_t j = i + 1; j < m && pairs.size() < cap; ++j) {
        const SpliceCandidate& b = cands[j];
        const std::int64_t d = std::int64_t{b.start} - a.start;
        if (d >= rules.min_gap_distance && d <= rules.max_gap_distance &&
            a.first_seed < b.first_seed && a.hits + b.hits > t)
          pairs.push_back({a.start, b.start, a.hits + b.hits});
      }
    }
    if (pairs.size() < cap) return pairs;
  }
}

inline int literal_signal(bool forward_family, const std::string& donor,
                          const std::string& acceptor) {
  struct Row {
    bool forward;
    const char* donor;
    const char* acceptor;
    int type;
  };
  static const Row rows[] = {{true, "GT", "AG", 3},  {true, "GC", "AG", 2},
                             {true, "AT", "AC", 2},  {false, "CT", "AC", 3},
                             {false, "CT", "GC", 2}, {false, "GT", "AT", 2}};
  for (const Row& r : rows)
    if (r.forward == forward_family && donor == r.donor && acceptor == r.acceptor) return r.type;
  return 0;
}

struct LiteralCut {
  std::string signals;
  int split = 0;
  int errors = 0;
};

// Pair evaluation: whole mismatch profiles, the floor in double precision,
// then every cut point.
inline bool literal_evaluate(std::string_view q, const char* w1, const char* w2,
                             bool forward_family, int c, int max_errors, LiteralCut& out) {
  const int n = static_cast<int>(q.size());
  std::vector<int> left(n), right(n);
  for (int i = 0; i < n; ++i) left[i] = (i ? left[i - 1] : 0) + (q[i] != w1[i]);
  for (int j = n - 1; j >= 0; --j) right[j] = (j + 1 < n ? right[j + 1] : 0) + (q[j] != w2[j]);
  int floor = 200;
  for (int i = 0; i <= n - 2; ++i)
    if (left[i] <= 0.1 * i && right[i + 1] <= 0.1 * (n - i))
      floor = std::min(floor, left[i] + right[i + 1]);
  if (floor > max_errors) return false;
  out.signals.assign(n, '0');
  int best = 100, split = 0, type = 0;
  for (int a = 1; a <= n - 3; ++a) {
    const int total = left[a] + right[a + 1];
    if (total > max_errors) continue;
    const int t = literal_signal(forward_family, std::string{w1[a + 1], w1[a + 2]},
                                 std::string{w2[a - 1], w2[a]});
    if (t == 0) continue;
    out.signals[a] = static_cast<char>('0' + t);
    if (left[a] <= 0.1 * a && right[a + 1] <= 0.1 * (n - a) && c <= a && a < n - c &&
        (total < best || (total == best && t == 3 && type < 3))) {
      best = total;
      split = a;
      type = t;
    }
  }
  out.split = split;
  out.errors = best;
  return split > 0;
}

struct LiteralSettings {
  int seed_length = 14;
  int max_errors = 2;
  int max_read_length = 100;
  int min_gap_distance = 10;
  int max_gap_distance = 50000;
};

// The records of every read on one segment, as the result file holds them.
inline std::string literal_split_records(const Segment& segment, const SeedIndex& index,
                                         const std::vector<NumberedRead>& reads,
                                         const LiteralSettings& s) {
  const int c = s.seed_length;
  const std::int64_t per_read = s.max_read_length / c;
  const std::int64_t pair_cap = std::int64_t{index.max_bucket} * (per_read + 1) * (per_read + 2);
  const char* seg = segment.data();
  const auto length_of_segment = static_cast<std::int64_t>(segment.length);
  std::string out;
  std::vector<std::int64_t> keys, reverse_keys;
  for (const NumberedRead& r : reads) {
    const int n = static_cast<int>(r.sequence.size());
    std::string rc;
    reverse_complement(r.sequence, rc);
    int rem = 0;
    const int seeds = transnum_x(r.sequence, c, keys, rem);
    if (seeds == 0) continue;
    transnum_x(rc, c, reverse_keys, rem);
    const auto fwd = mapped_candidates(index, keys, n, c, length_of_segment - n + 1);
    const auto rev = mapped_candidates(index, reverse_keys, n, c, length_of_segment - n);
    const PairRules rules{c, seeds, s.max_errors, s.min_gap_distance, s.max_gap_distance, pair_cap};
    const auto fwd_pairs = literal_pairs(fwd, r.sequence, seg, rules, true);
    const auto rev_pairs = literal_pairs(rev, rc, seg, rules, false);
    const int t = seeds - s.max_errors;
    const int floor = rem == 0 ? (t >= 2 ? t - 2 : 0) : (t >= 3 ? t - 3 : 0);
    if ((fwd_pairs.empty() && rev_pairs.empty()) || floor >= seeds) continue;
    int best_printed = s.max_errors + 1;
    auto pass = [&](const std::vector<SplicePair>& pairs, int level, const std::string& q,
                    bool forward_family) {
      for (const SplicePair& p : pairs) {
        if (p.hit_sum != level) continue;
        LiteralCut cut;
        if (!literal_evaluate(q, seg + p.first_start - 1, seg + p.second_start - 1, forward_family,
                              c, s.max_errors, cut))
          continue;
        out += std::to_string(r.number) + "\t" + r.sequence + "\t" + cut.signals + "\n" +
               (forward_family ? "F" : "R") + "\t" + std::to_string(cut.split) + "\t" +
               std::to_string(cut.errors) + "\t" + std::to_string(p.first_start - 1) + "\t" +
               std::to_string(p.second_start - 1) + "\n";
        best_printed = std::min(best_printed, cut.errors);
      }
    };
    int level = seeds;
    int k = 0;
    for (;;) {
      if (!fwd_pairs.empty()) {
        pass(fwd_pairs, level, r.sequence, true);
        pass(fwd_pairs, level, r.sequence, false);
      }
      if (!rev_pairs.empty()) {
        pass(rev_pairs, level, rc, false);
        pass(rev_pairs, level, rc, true);
      }
      if (best_printed < k) break;
      --level;
      ++k;
      if (!(floor < level)) break;
    }
  }
  return out;
}

}  // namespace splice_data
}  // namespace quilm::test
