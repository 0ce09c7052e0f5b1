#include "sam/mate_pairing.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace quilm::sam {
namespace {

// A 100-base hit at `pos` (0-based); a split hit reaches further.
MateHit hit(int tid, long pos, bool reverse, int errors = 0, long span = 100) {
  return {tid, pos, pos + span, reverse, errors};
}

PairChoice choose(const std::vector<MateHit>& first, const std::vector<MateHit>& second,
                  long max_insert = kDefaultMaxInsert) {
  PairingWork work;
  PairChoice choice;
  choose_pairs(first, second, max_insert, work, choice);
  return choice;
}

TEST(MatePairing, ConcordantMeansFacingEachOtherWithinTheInsert) {
  EXPECT_EQ(concordant_distance(hit(0, 1000, false), hit(0, 1300, true), 500), 400);
  // Either mate may be the forward one; mates that overlap wholly face each other.
  EXPECT_EQ(concordant_distance(hit(0, 1300, true), hit(0, 1000, false), 500), 400);
  EXPECT_EQ(concordant_distance(hit(0, 1000, false), hit(0, 1000, true), 500), 100);
  // The distance includes an intron of a split mate; at the bound it pairs.
  EXPECT_EQ(concordant_distance(hit(0, 1000, false), hit(0, 1200, true, 0, 5300), 5500), 5500);
  EXPECT_EQ(concordant_distance(hit(0, 1000, false), hit(0, 1200, true, 0, 5300), 5499), -1);
  // Same strand, other chromosome, facing away, reaching past the other.
  EXPECT_EQ(concordant_distance(hit(0, 1000, false), hit(0, 1300, false), 500), -1);
  EXPECT_EQ(concordant_distance(hit(0, 1000, false), hit(1, 1300, true), 500), -1);
  EXPECT_EQ(concordant_distance(hit(0, 1300, false), hit(0, 1000, true), 5000), -1);
  EXPECT_EQ(concordant_distance(hit(0, 1010, false), hit(0, 1000, true), 5000), -1);
  EXPECT_EQ(concordant_distance(hit(0, 1000, false, 0, 120), hit(0, 1010, true), 5000), -1);
}

TEST(MatePairing, KindsOfPairs) {
  EXPECT_EQ(choose({}, {}).kind, PairKind::kNone);
  EXPECT_EQ(choose({hit(0, 5, false)}, {}).kind, PairKind::kOneMate);
  EXPECT_EQ(choose({}, {hit(0, 5, false)}).kind, PairKind::kOneMate);
  EXPECT_EQ(choose({hit(0, 0, false)}, {hit(0, 900, true)}, 500).kind, PairKind::kDiscordant);
  const PairChoice c = choose({hit(0, 0, false)}, {hit(0, 300, true)});
  EXPECT_EQ(c.kind, PairKind::kConcordant);
  ASSERT_EQ(c.pairs.size(), 1u);
  EXPECT_EQ(c.candidates[0], 1);
  EXPECT_EQ(c.candidates[1], 1);
}

TEST(MatePairing, FewestErrorsThenShortestThenFileOrderAndEachHitOnce) {
  // Mate 1 has three hits, mate 2 four; the candidates:
  //   (0,0) 1 error, 400   (0,1) 0 errors, 450   (1,2) 0 errors, 450
  //   (2,3) 0 errors, 400 on chromosome 1   (0,2) 0 errors, 4450
  const std::vector<MateHit> first = {hit(0, 1000, false), hit(0, 5000, false), hit(1, 100, true)};
  const std::vector<MateHit> second = {hit(0, 1300, true, 1), hit(0, 1350, true),
                                       hit(0, 5350, true), hit(1, -200, false)};
  const PairChoice c = choose(first, second);
  EXPECT_EQ(c.kind, PairKind::kConcordant);
  const std::vector<std::pair<int, int>> expected = {{2, 3}, {0, 1}, {1, 2}};
  EXPECT_EQ(c.pairs, expected);  // (0,0) is left out: hit 0 of mate 1 is taken
  EXPECT_EQ(c.candidates[0], 3);
  EXPECT_EQ(c.candidates[1], 3);

  // Equal errors and distance: mate 1's hit order goes first.
  const PairChoice tie =
      choose({hit(0, 1000, false), hit(0, 2000, false)}, {hit(0, 2300, true), hit(0, 1300, true)});
  const std::vector<std::pair<int, int>> by_order = {{0, 1}, {1, 0}};
  EXPECT_EQ(tie.pairs, by_order);
}

TEST(MatePairing, ACandidateOfOneMateMakesItsPlacementUnique) {
  // Mate 2 has two hits, but only one pairs with mate 1's only hit; a worse
  // pair does not count against the best one.
  const PairChoice c =
      choose({hit(0, 1000, false)},
             {hit(0, 1300, true), hit(0, 90000, true, 0), hit(0, 1250, true, 2)}, 50000);
  EXPECT_EQ(c.pairs.size(), 1u);
  EXPECT_EQ(c.candidates[0], 1);
  EXPECT_EQ(c.candidates[1], 1);
  // Two equally good partners: mate 2 is ambiguous, mate 1 is not.
  const PairChoice two = choose({hit(0, 1000, false)}, {hit(0, 1300, true), hit(0, 1400, true)});
  EXPECT_EQ(two.candidates[0], 1);
  EXPECT_EQ(two.candidates[1], 2);
}

}  // namespace
}  // namespace quilm::sam
