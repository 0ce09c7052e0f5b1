// The steps of split-read mapping on hand-made inputs: the splice result
// record, candidate collection, pair formation and the cut scan.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "common/errors.hpp"
#include "common/splice_record.hpp"
#include "literal_split_mapping.hpp"
#include "splice/splice_candidates.hpp"
#include "splice/splice_cut.hpp"
#include "splice/splice_pairable.hpp"
#include "splice/splice_pairs.hpp"
#include "splice/splice_seed_zones.hpp"
#include "splice_test_data.hpp"
#include "support/test_support.hpp"
#include "worker/seed_index.hpp"
#include "worker/seed_lookups.hpp"

namespace quilm {
namespace {

class SpliceRecordTest : public test::TempDirTest {};

TEST_F(SpliceRecordTest, WritesTwoLinesAndReadsThemBack) {
  {
    OutputFile out(path("1.r"));
    write_splice_record(out, 7, "ACGTN", "00300", 'R', 2, 1, 0, 1234);
    write_splice_record(out, 8, "GG", "00", 'F', 1, 0, 5, 6);
    out.close();
  }
  EXPECT_EQ(test::slurp(path("1.r")),
            "7\tACGTN\t00300\nR\t2\t1\t0\t1234\n8\tGG\t00\nF\t1\t0\t5\t6\n");
  SpliceRecordReader reader(path("1.r"));
  SpliceRecord r;
  ASSERT_TRUE(reader.next(r));
  EXPECT_EQ(r.read_number, 7);
  EXPECT_EQ(r.sequence, "ACGTN");
  EXPECT_EQ(r.signals, "00300");
  EXPECT_EQ(r.strand, 'R');
  EXPECT_EQ(r.split, 2);
  EXPECT_EQ(r.errors, 1);
  EXPECT_EQ(r.second_position, 1234);
  ASSERT_TRUE(reader.next(r));
  EXPECT_EQ(r.first_position, 5);
  EXPECT_FALSE(reader.next(r));

  test::spit(path("2.r"), "7\tACGT\t0000\nR\t2\t1\t0\n");
  SpliceRecordReader cut(path("2.r"));
  EXPECT_THROW(cut.next(r), InputError);
  test::spit(path("3.r"), "7\tACGT\t0000\nR\tx\t1\t0\t9\n");
  SpliceRecordReader bad(path("3.r"));
  EXPECT_THROW(bad.next(r), InputError);
}

class CandidateTest : public test::TempDirTest {
 protected:
  // The buckets of a sequence's seeds, looked up as the worker does.
  std::span<const SeedLookups::Bucket> buckets(const SeedIndex& index,
                                               const std::vector<std::int64_t>& keys) {
    lookups_.clear();
    const std::size_t strand = lookups_.add(keys);
    lookups_.look_up(index);
    return lookups_.buckets(strand);
  }

 private:
  SeedLookups lookups_;
};

TEST_F(CandidateTest, MatchTheSeedBySeedInsertionOnRepetitiveSegments) {
  // Three copies of one stretch with a few changes, so that starts collect
  // votes from several seeds and first seeds differ between copies.
  std::string unit = test::random_bases(700, 3);
  std::string genome = unit + test::random_bases(50, 4) + unit + unit;
  std::mt19937 rng(11);
  for (int i = 0; i < 60; ++i) genome[rng() % genome.size()] = "ACGTN"[rng() % 5];
  test::spit(path("seg.txt"), ">s\n" + genome + "\n");
  const Segment segment = load_segment(path("seg.txt"), 1);
  for (int c : {6, 8}) {
    const SeedIndex index = build_seed_index(segment, c);
    std::vector<int> counters(segment.length + 1000, 0);
    CandidateWork votes;
    PairableWork pairable;
    std::vector<SpliceCandidate> got;
    std::vector<std::uint64_t> sets;
    std::vector<std::int64_t> keys;
    for (int r = 0; r < 300; ++r) {
      const int length = c + static_cast<int>(rng() % 90);  // rem = 0 and rem > 0
      std::string read = genome.substr(rng() % (genome.size() - length), length);
      if (r % 3 == 0) read = test::reverse_complement_of(read);
      if (r % 5 == 0) read[rng() % length] = 'N';
      if (r % 7 == 0) read = test::random_bases(length, 100 + r);  // chance hits only
      int rem = 0;
      transnum_x(read, c, keys, rem);
      const std::int64_t max_start = static_cast<std::int64_t>(segment.length) - length + r % 2;
      const auto lists = buckets(index, keys);
      collect_candidates(lists, length, c, max_start, votes, got, &sets);
      ASSERT_EQ(got, test::literal_candidates(index, keys, length, c, max_start, counters))
          << "read " << read << " seed " << c;
      // Each candidate's seed set: the seeds with its start in their bucket.
      ASSERT_EQ(sets.size(), got.size());
      const int seeds = static_cast<int>(keys.size());
      for (std::size_t k = 0; k < got.size(); ++k) {
        std::uint64_t want = 0;
        for (int j = 0; j < seeds; ++j) {
          const std::int64_t at = got[k].start + seed_read_position(j, seeds, length, c);
          if (std::binary_search(lists[j].begin(), lists[j].end(), at)) want |= 1ull << j;
        }
        ASSERT_EQ(sets[k], want);
      }
      // The pairable candidates, by the hash table or from the list, against
      // the rule read literally.
      int most = 0;
      std::size_t strong = 0;
      for (const SpliceCandidate& k : got) {
        most = std::max(most, k.hits);
        strong += k.hits >= 2;
      }
      for (const PairableRule rule : {PairableRule{2, 1, 400}, PairableRule{3, 10, 1500},
                                      PairableRule{4, 1, 50000}, PairableRule{5, 30, 60}}) {
        std::vector<SpliceCandidate> want;
        std::vector<std::uint64_t> want_sets;
        for (std::size_t k = 0; k < got.size(); ++k) {
          bool keep = strong > 64 && got[k].hits + most >= rule.min_sum;
          for (std::size_t d = 0; d < got.size() && strong <= 64 && !keep; ++d) {
            const std::int64_t apart = std::abs(std::int64_t{got[d].start} - got[k].start);
            keep = apart >= rule.nearest && apart <= rule.farthest &&
                   got[k].hits + got[d].hits >= rule.min_sum;
          }
          if (!keep) continue;
          want.push_back(got[k]);
          want_sets.push_back(sets[k]);
        }
        std::vector<SpliceCandidate> kept = got;
        std::vector<std::uint64_t> kept_sets = sets;
        keep_pairable(kept, kept_sets, rule, pairable);
        ASSERT_EQ(kept, want) << read << " min_sum " << rule.min_sum;
        ASSERT_EQ(kept_sets, want_sets);
        collect_pairable(lists, length, c, max_start, rule, votes, pairable, kept, kept_sets);
        ASSERT_EQ(kept, want) << read << " min_sum " << rule.min_sum;
        ASSERT_EQ(kept_sets, want_sets);
      }
    }
  }
}

TEST_F(CandidateTest, LastSeedEndsWithTheReadAndStartsStayInBounds) {
  // 52 bases at seed length 10: six seeds, the last covering bases 42..51.
  const std::string genome = test::random_bases(400, 5);
  test::spit(path("seg.txt"), genome);
  const Segment segment = load_segment(path("seg.txt"), 1);
  const SeedIndex index = build_seed_index(segment, 10);
  std::vector<std::int64_t> keys;
  CandidateWork votes;
  std::vector<SpliceCandidate> got;
  int rem = 0;
  const std::string read = genome.substr(100, 52);
  ASSERT_EQ(transnum_x(read, 10, keys, rem), 6);
  EXPECT_EQ(rem, 2);
  collect_candidates(buckets(index, keys), 52, 10, 400 - 52 + 1, votes, got);
  EXPECT_EQ(got, (std::vector<SpliceCandidate>{{101, 6, 1}}));

  // A placement whose last base is the segment's last base is allowed only
  // up to max_start; the reverse complement gets one position less.
  const std::string tail = genome.substr(400 - 50);
  transnum_x(tail, 10, keys, rem);
  collect_candidates(buckets(index, keys), 50, 10, 351, votes, got);
  EXPECT_EQ(got, (std::vector<SpliceCandidate>{{351, 5, 1}}));
  collect_candidates(buckets(index, keys), 50, 10, 350, votes, got);
  EXPECT_TRUE(got.empty());
}

// Pair formation on a segment of A's only (no donor anywhere), so that every
// candidate may give a first part.
class PairTest : public ::testing::Test {
 protected:
  std::string segment = std::string(400, 'A') + std::string(1000, '\0');
  std::string q = std::string(20, 'A');
  PairRules rules{5, 4, 2, 100, 200, 1000};
  PairList list;

  std::vector<SplicePair> form(const std::vector<SpliceCandidate>& cands) {
    list.form(cands, {}, q, segment.data(), rules, DonorSet::kForward);
    return list.all_pairs();
  }
};

TEST_F(PairTest, DistanceBoundsAreInclusive) {
  const std::vector<SplicePair> got =
      form({{1, 1, 1}, {100, 1, 2}, {101, 1, 2}, {201, 1, 2}, {202, 1, 2}});
  EXPECT_EQ(got, (std::vector<SplicePair>{{1, 101, 2}, {1, 201, 2}}));
}

TEST_F(PairTest, NeedLaterFirstSeedAndFirstPartNotFromLastSeed) {
  EXPECT_TRUE(form({{1, 3, 2}, {150, 3, 2}}).empty());
  EXPECT_TRUE(form({{1, 3, 4}, {150, 3, 5}}).empty());  // rules.seeds is 4
  EXPECT_EQ(form({{1, 3, 3}, {150, 3, 4}}), (std::vector<SplicePair>{{1, 150, 6}}));
}

TEST_F(PairTest, FullListRaisesTheThreshold) {
  const std::vector<SpliceCandidate> cands{{1, 1, 1}, {101, 1, 2}, {102, 2, 2}, {103, 3, 2}};
  rules.pair_cap = 2;  // full at hit sum > 1 and > 2; fits at > 3
  EXPECT_EQ(form(cands), (std::vector<SplicePair>{{1, 103, 4}}));
  rules.pair_cap = 3;  // exactly full at > 1 still counts as full
  EXPECT_EQ(form(cands), (std::vector<SplicePair>{{1, 102, 3}, {1, 103, 4}}));
  rules.pair_cap = 4;
  EXPECT_EQ(form(cands).size(), 3u);
  rules.pair_cap = 0;  // a segment without seeds: no pairs, and no endless loop
  EXPECT_TRUE(form(cands).empty());
}

// Random candidate lists on a segment made of copies of one stretch with a
// few changes, so that some first parts fit and some do not; caps from one
// pair to more than the list, so that the list fills once, several times or
// never. The candidates come with seed sets (their hits and first seed taken
// from them) or without (grouped by hits alone); zones that rule nothing out
// leave every pair of a level.
TEST(PairListTest, EqualsThePairByPairFormationAtEveryCapAndLevel) {
  std::mt19937 rng(3);
  const std::string unit = test::random_bases(60, 8);
  std::string segment;
  while (segment.size() < 3000) segment += unit;
  for (int i = 0; i < 150; ++i) segment[rng() % segment.size()] = "ACGT"[rng() % 4];
  segment += std::string(200, '\0');
  PairList list;
  SeedZones everything_possible;
  everything_possible.reset(40, 4, 65, 0, 2, 4, 35);
  std::vector<std::pair<std::uint32_t, std::uint32_t>> got;
  for (int trial = 0; trial < 300; ++trial) {
    const int seeds = 2 + static_cast<int>(rng() % 8);
    const int length = 40;
    const std::string q = segment.substr(rng() % 60, length);
    const bool with_sets = trial % 3 != 0;
    std::vector<SpliceCandidate> cands;
    std::vector<std::uint64_t> sets;
    for (std::int32_t start = 1 + static_cast<std::int32_t>(rng() % 20); start < 2900;
         start += 1 + static_cast<std::int32_t>(rng() % 120)) {
      const int first = 1 + static_cast<int>(rng() % seeds);
      std::uint64_t set = std::uint64_t{1} << (first - 1);
      for (int j = first; j < seeds; ++j)
        if (rng() % 3 == 0) set |= std::uint64_t{1} << j;
      const int hits = with_sets ? std::popcount(set) : 1 + static_cast<int>(rng() % seeds);
      cands.push_back({start, hits, first});
      sets.push_back(set);
    }
    if (!with_sets) sets.clear();
    PairRules rules{4,
                    seeds,
                    static_cast<int>(rng() % 4),
                    static_cast<int>(rng() % 60) - 5,
                    50 + static_cast<int>(rng() % 1500),
                    0};
    rules.pair_cap = std::numeric_limits<std::int32_t>::max();
    const auto all = test::literal_pairs(cands, q, segment.data(), rules, trial % 2 == 0);
    const auto total = static_cast<std::int64_t>(all.size());
    for (const std::int64_t cap : {std::int64_t{1}, std::int64_t{2}, total / 7 + 1, total / 2 + 1,
                                   total, total + 1, std::int64_t{0}}) {
      rules.pair_cap = cap;
      const DonorSet donors = trial % 2 == 0 ? DonorSet::kForward : DonorSet::kReverse;
      const auto want = test::literal_pairs(cands, q, segment.data(), rules, trial % 2 == 0);
      list.form(cands, sets, q, segment.data(), rules, donors);
      ASSERT_EQ(list.all_pairs(), want) << "trial " << trial << " cap " << cap;
      // Asked for the levels from `lowest` up only, the list holds the same
      // pairs there.
      const int lowest = 1 + static_cast<int>(rng() % (2 * seeds));
      list.form(cands, sets, q, segment.data(), rules, donors, lowest);
      for (int level = lowest; level <= 2 * seeds; ++level) {
        list.pairs_at(level, everything_possible, nullptr, got);
        std::vector<SplicePair> at_level;
        for (const SplicePair& p : want)
          if (p.hit_sum == level) at_level.push_back(p);
        std::vector<SplicePair> made;
        for (const auto& [a, b] : got) made.push_back({cands[a].start, cands[b].start, level});
        ASSERT_EQ(made, at_level) << "trial " << trial << " cap " << cap << " level " << level;
      }
    }
  }
}

TEST(LeadingPart, StopsAtTheFirstDonorBehindTheFirstSeed) {
  const std::string q(20, 'A');
  // Mismatches at 3, 4, 11 and 12; GT donors at 3..4 and 11..12.
  const std::string ref = std::string("AAAGTAAAAAAGTAAAAAAA") + std::string(10, '\0');
  EXPECT_TRUE(leading_part_fits(q, ref.data(), {1, 1, 1}, 5, 2, DonorSet::kForward));
  // Behind seed 3 (base 15) the donor at 11 no longer stops the count.
  EXPECT_FALSE(leading_part_fits(q, ref.data(), {1, 1, 3}, 5, 2, DonorSet::kForward));
  EXPECT_TRUE(leading_part_fits(q, ref.data(), {1, 1, 3}, 5, 4, DonorSet::kForward));

  // GC ends the first part for the read's own candidates only.
  const std::string gc = std::string("AAAAATTAAAGCAAAAAAAA") + std::string(10, '\0');
  EXPECT_TRUE(leading_part_fits(q, gc.data(), {1, 1, 1}, 5, 2, DonorSet::kForward));
  EXPECT_FALSE(leading_part_fits(q, gc.data(), {1, 1, 1}, 5, 2, DonorSet::kReverse));
}

// A sequence of N's (N matches only N), split at `a` between two windows
// that carry the donor right behind base a and the acceptor ending at a.
struct CutCase {
  std::string q, w1, w2;
};
CutCase single_cut(int length, int a, const std::string& donor, const std::string& acceptor) {
  CutCase k;
  k.q.assign(length, 'N');
  k.w1 = k.q.substr(0, a + 1) + donor + std::string(length - a - 3, 'T');
  k.w2 = std::string(a - 1, 'T') + acceptor + k.q.substr(a + 1);
  return k;
}

struct SignalCase {
  SignalFamily family;
  const char* donor;
  const char* acceptor;
  char digit;
};

TEST(CutScan, EachSignalOfBothFamilies) {
  const SignalCase cases[] = {
      {SignalFamily::kForward, "GT", "AG", '3'}, {SignalFamily::kForward, "GC", "AG", '2'},
      {SignalFamily::kForward, "AT", "AC", '2'}, {SignalFamily::kReverse, "CT", "AC", '3'},
      {SignalFamily::kReverse, "CT", "GC", '2'}, {SignalFamily::kReverse, "GT", "AT", '2'}};
  CutScratch scratch;
  std::string signals;
  SpliceCut cut;
  for (const SignalCase& sc : cases) {
    const CutCase k = single_cut(40, 17, sc.donor, sc.acceptor);
    ASSERT_TRUE(
        evaluate_pair(k.q, k.w1.data(), k.w2.data(), sc.family, 6, 2, scratch, signals, cut))
        << sc.donor << "-" << sc.acceptor;
    EXPECT_EQ(cut.split, 17);
    EXPECT_EQ(cut.errors, 0);
    std::string want(40, '0');
    want[17] = sc.digit;
    EXPECT_EQ(signals, want);
    // The other family does not know this pair.
    const SignalFamily other =
        sc.family == SignalFamily::kForward ? SignalFamily::kReverse : SignalFamily::kForward;
    EXPECT_FALSE(evaluate_pair(k.q, k.w1.data(), k.w2.data(), other, 6, 2, scratch, signals, cut));
    EXPECT_EQ(signals, std::string(40, '0'));
  }
}

TEST(CutScan, CutsTooCloseToEitherEndAreMarkedButNotChosen) {
  CutScratch scratch;
  std::string signals;
  SpliceCut cut;
  // Seed length 6, 40 bases: a first part needs 7 bases (a >= 6), a second
  // part 6 (a <= 33).
  for (const auto& [a, chosen] :
       std::vector<std::pair<int, bool>>{{5, false}, {6, true}, {33, true}, {34, false}}) {
    const CutCase k = single_cut(40, a, "GT", "AG");
    EXPECT_EQ(evaluate_pair(k.q, k.w1.data(), k.w2.data(), SignalFamily::kForward, 6, 2, scratch,
                            signals, cut),
              chosen)
        << a;
    EXPECT_EQ(signals[a], '3') << a;
    if (chosen) {
      EXPECT_EQ(cut.split, a);
    }
  }
}

// Two cuts of equal errors: the stretch q[a1+1..a2] matches both windows.
CutCase two_cuts(int a1, int a2, const std::string& d1, const std::string& ac1,
                 const std::string& d2, const std::string& ac2) {
  CutCase k;
  const std::string middle = d1 + std::string(a2 - a1 - 4, 'N') + ac2;
  k.q = std::string(a1 + 1, 'N') + middle + std::string(40 - a2 - 1, 'N');
  k.w1 = k.q.substr(0, a2 + 1) + d2 + std::string(40 - a2 - 3, 'T');
  k.w2 = std::string(a1 - 1, 'T') + ac1 + k.q.substr(a1 + 1);
  return k;
}

TEST(CutScan, EqualErrorsKeepTheEarlierCutUnlessTypeThreeReplacesTypeTwo) {
  CutScratch scratch;
  std::string signals;
  SpliceCut cut;
  auto split_of = [&](const CutCase& k) {
    EXPECT_TRUE(evaluate_pair(k.q, k.w1.data(), k.w2.data(), SignalFamily::kForward, 6, 2, scratch,
                              signals, cut));
    return cut.split;
  };
  EXPECT_EQ(split_of(two_cuts(9, 20, "GC", "AG", "GT", "AG")), 20);
  EXPECT_EQ(signals, std::string("000000000200000000003") + std::string(19, '0'));
  EXPECT_EQ(split_of(two_cuts(9, 20, "GT", "AG", "GC", "AG")), 9);
  EXPECT_EQ(split_of(two_cuts(9, 20, "GC", "AG", "AT", "AC")), 9);
  EXPECT_EQ(split_of(two_cuts(9, 20, "GT", "AG", "GT", "AG")), 9);
}

TEST(CutScan, EachPartKeepsWithinATenthMismatched) {
  CutScratch scratch;
  std::string signals;
  SpliceCut cut;
  CutCase k = single_cut(40, 12, "GT", "AG");
  k.q[0] = 'A';  // 1 mismatch in a first part of 13 bases: allowed
  ASSERT_TRUE(evaluate_pair(k.q, k.w1.data(), k.w2.data(), SignalFamily::kForward, 6, 2, scratch,
                            signals, cut));
  EXPECT_EQ(cut.split, 12);
  EXPECT_EQ(cut.errors, 1);
  k.q[1] = 'A';
  k.q[2] = 'A';  // three errors: above max_errors
  EXPECT_FALSE(evaluate_pair(k.q, k.w1.data(), k.w2.data(), SignalFamily::kForward, 6, 2, scratch,
                             signals, cut));
  CutCase short_first = single_cut(40, 8, "GT", "AG");
  short_first.q[0] = 'A';  // 1 mismatch in 9 bases: too many
  EXPECT_FALSE(evaluate_pair(short_first.q, short_first.w1.data(), short_first.w2.data(),
                             SignalFamily::kForward, 6, 2, scratch, signals, cut));
}

// The seed zones never rule out a pair that yields a record: random split
// reads with mismatches (N's among them) on both sides of the cut, a signal
// of either family at the cut, and the seed sets that exact seed matches
// give each window.
TEST(SeedZonesTest, NeverRuleOutAPairWithAnAcceptedCut) {
  std::mt19937 rng(17);
  const SignalCase signals[] = {{SignalFamily::kForward, "GT", "AG", '3'},
                                {SignalFamily::kForward, "AT", "AC", '2'},
                                {SignalFamily::kReverse, "CT", "GC", '2'},
                                {SignalFamily::kReverse, "GT", "AT", '2'}};
  SeedZones zones;
  int records = 0;
  int ruled_out = 0;
  for (int trial = 0; trial < 20000; ++trial) {
    const int c = std::vector<int>{6, 8, 10, 14}[rng() % 4];
    const int length = c + 3 + static_cast<int>(rng() % 110);
    const int errors = static_cast<int>(rng() % 4);
    std::string q = test::random_bases(length, static_cast<std::uint32_t>(trial));
    if (rng() % 8 == 0) q[rng() % length] = 'N';
    const int lo = std::max(1, c);
    const int hi = std::min(length - 3, length - c - 1);
    if (hi < lo) continue;
    const int a = lo + static_cast<int>(rng() % (hi - lo + 1));
    const SignalCase& sc = signals[rng() % 4];
    std::string w1 = q.substr(0, a + 1) + sc.donor + test::random_bases(length, trial + 1);
    std::string w2 =
        test::random_bases(length, trial + 2).substr(0, a - 1) + sc.acceptor + q.substr(a + 1);
    w1.resize(length);
    w2.resize(length);
    for (int e = static_cast<int>(rng() % 4); e > 0; --e) {
      const int at = static_cast<int>(rng() % length);
      (at <= a ? w1 : w2)[at] = "ACGTN"[rng() % 5];
    }
    int rem = 0;
    std::vector<std::int64_t> keys;
    const int seeds = transnum_x(q, c, keys, rem);
    std::uint64_t voting = 0, first = 0, second = 0;
    for (int j = 0; j < seeds; ++j) {
      if (keys[j] < 0) continue;
      voting |= 1ull << j;
      const int at = seed_read_position(j, seeds, length, c);
      if (q.compare(at, c, w1, at, c) == 0) first |= 1ull << j;
      if (q.compare(at, c, w2, at, c) == 0) second |= 1ull << j;
    }
    test::LiteralCut cut;
    if (!test::literal_evaluate(q, w1.data(), w2.data(), sc.family == SignalFamily::kForward, c,
                                errors, cut))
      continue;
    ++records;
    zones.reset(length, c, seeds, voting, errors, lo, hi);
    ASSERT_TRUE(zones.pair_possible(first, second)) << q << " " << w1 << " " << w2;
    ASSERT_TRUE(zones.pair_possible(zones.profile(first), zones.profile(second)));
    ASSERT_TRUE(zones.split_possible(std::popcount(first), std::popcount(second)));
    // The same seed sets with one more miss on each side may be ruled out.
    ruled_out += !zones.pair_possible(first & (first - 1), second & (second - 1));
  }
  EXPECT_GT(records, 3000);
  EXPECT_GT(ruled_out, 100);
}

}  // namespace
}  // namespace quilm
