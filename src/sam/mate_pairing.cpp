#include "sam/mate_pairing.hpp"

#include <algorithm>

namespace quilm::sam {

namespace {

using Candidate = PairingWork::Candidate;

bool before(const MateHit& a, std::int32_t tid, std::int64_t pos) {
  return a.tid != tid ? a.tid < tid : a.pos < pos;
}

// Every concordant combination, found through mate 2's hits sorted by
// position: only those within max_insert of a mate-1 hit are looked at.
void find_candidates(std::span<const MateHit> first, std::span<const MateHit> second,
                     std::int64_t max_insert, PairingWork& work) {
  work.candidates.clear();
  work.order.resize(second.size());
  for (std::size_t j = 0; j < second.size(); ++j) work.order[j] = static_cast<int>(j);
  std::sort(work.order.begin(), work.order.end(), [&](int x, int y) {
    const MateHit& a = second[static_cast<std::size_t>(x)];
    const MateHit& b = second[static_cast<std::size_t>(y)];
    return a.tid != b.tid ? a.tid < b.tid : a.pos != b.pos ? a.pos < b.pos : x < y;
  });
  for (std::size_t i = 0; i < first.size(); ++i) {
    const MateHit& a = first[i];
    // A partner starts at most max_insert before a's end (it must end by
    // then) and no later than a's start plus max_insert.
    auto j = std::lower_bound(work.order.begin(), work.order.end(), a.end - max_insert,
                              [&](int k, std::int64_t pos) {
                                return before(second[static_cast<std::size_t>(k)], a.tid, pos);
                              });
    for (; j != work.order.end(); ++j) {
      const MateHit& b = second[static_cast<std::size_t>(*j)];
      if (b.tid != a.tid || b.pos > a.pos + max_insert) break;
      const std::int64_t distance = concordant_distance(a, b, max_insert);
      if (distance >= 0)
        work.candidates.push_back({a.errors + b.errors, distance, static_cast<int>(i), *j});
    }
  }
}

bool better(const Candidate& x, const Candidate& y) {
  if (x.errors != y.errors) return x.errors < y.errors;
  if (x.distance != y.distance) return x.distance < y.distance;
  return x.first != y.first ? x.first < y.first : x.second < y.second;
}

// Hits of each mate in a candidate with the fewest errors.
void count_best_candidates(PairingWork& work, PairChoice& out) {
  const int best = work.candidates.front().errors;
  for (int mate = 0; mate < 2; ++mate) {
    std::fill(work.used[mate].begin(), work.used[mate].end(), 0);
    out.candidates[mate] = 0;
  }
  for (const Candidate& c : work.candidates) {
    if (c.errors != best) break;
    for (int mate = 0; mate < 2; ++mate) {
      std::uint8_t& seen = work.used[mate][static_cast<std::size_t>(mate ? c.second : c.first)];
      out.candidates[mate] += !seen;
      seen = 1;
    }
  }
}

void take_pairs(PairingWork& work, PairChoice& out) {
  for (int mate = 0; mate < 2; ++mate) std::fill(work.used[mate].begin(), work.used[mate].end(), 0);
  for (const Candidate& c : work.candidates) {
    std::uint8_t& a = work.used[0][static_cast<std::size_t>(c.first)];
    std::uint8_t& b = work.used[1][static_cast<std::size_t>(c.second)];
    if (a || b) continue;
    a = b = 1;
    out.pairs.emplace_back(c.first, c.second);
  }
}

}  // namespace

std::int64_t concordant_distance(const MateHit& a, const MateHit& b, std::int64_t max_insert) {
  if (a.tid != b.tid || a.reverse == b.reverse) return -1;
  const MateHit& forward = a.reverse ? b : a;
  const MateHit& reverse = a.reverse ? a : b;
  if (forward.pos > reverse.pos || forward.end > reverse.end) return -1;
  const std::int64_t distance = reverse.end - forward.pos;
  return distance <= max_insert ? distance : -1;
}

void choose_pairs(std::span<const MateHit> first, std::span<const MateHit> second,
                  std::int64_t max_insert, PairingWork& work, PairChoice& out) {
  out.pairs.clear();
  out.candidates[0] = out.candidates[1] = 0;
  if (first.empty() || second.empty()) {
    out.kind = first.empty() && second.empty() ? PairKind::kNone : PairKind::kOneMate;
    return;
  }
  find_candidates(first, second, max_insert, work);
  if (work.candidates.empty()) {
    out.kind = PairKind::kDiscordant;
    return;
  }
  out.kind = PairKind::kConcordant;
  std::sort(work.candidates.begin(), work.candidates.end(), better);
  work.used[0].resize(first.size());
  work.used[1].resize(second.size());
  count_best_candidates(work, out);
  take_pairs(work, out);
}

}  // namespace quilm::sam
