// Pairing the hits of the two mates of a pair: which combinations are
// concordant, which of them the records show, and how unique each mate's
// placement is once its partner is known.
#pragma once

#include <cstdint>
#include <span>
#include <utility>
#include <vector>

namespace quilm::sam {

// The default --max-insert: long enough for an intron between the mates.
inline constexpr std::int64_t kDefaultMaxInsert = 500000;

// A placed hit of one mate.
struct MateHit {
  std::int32_t tid = 0;
  std::int64_t pos = 0;  // 0-based leftmost reference base
  std::int64_t end = 0;  // one past the rightmost one: introns of a split hit included
  bool reverse = false;
  int errors = 0;  // as the run counted them
};

// The outer distance of two hits when they are concordant, else -1. They
// are when they lie on one chromosome on opposite strands facing each
// other: the forward one starts at or before the reverse one and ends at or
// before it (mates that overlap, even wholly, face each other; one that
// reaches past the other's start does not). The outer distance runs from
// the forward hit's first base to the reverse one's last, introns included,
// and must be at most max_insert.
std::int64_t concordant_distance(const MateHit& a, const MateHit& b, std::int64_t max_insert);

enum class PairKind : std::uint8_t { kConcordant, kDiscordant, kOneMate, kNone };

struct PairChoice {
  PairKind kind = PairKind::kNone;
  // Concordant: the pairs written, best first, as indexes into the two
  // mates' hits. Candidates go by fewest errors of both mates together, then
  // shortest outer distance, then mate 1's hit index, then mate 2's; each
  // is taken unless one of its hits is in a pair taken before, so every hit
  // appears in at most one pair.
  std::vector<std::pair<int, int>> pairs;
  // Concordant: how many hits of each mate lie in a concordant candidate
  // with the fewest errors: 1 when the pair pins the mate down.
  int candidates[2] = {0, 0};
};

// Work areas reused from pair to pair.
struct PairingWork {
  struct Candidate {
    int errors;
    std::int64_t distance;
    int first;
    int second;
  };
  std::vector<Candidate> candidates;
  std::vector<int> order;  // of mate 2's hits by chromosome and position
  std::vector<std::uint8_t> used[2];
};

void choose_pairs(std::span<const MateHit> first, std::span<const MateHit> second,
                  std::int64_t max_insert, PairingWork& work, PairChoice& out);

}  // namespace quilm::sam
