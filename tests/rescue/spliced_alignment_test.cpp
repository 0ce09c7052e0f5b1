// The spliced alignment over candidate diagonals: each kind of read the
// rescue stage exists for, placed exactly on a segment built for it.
#include "rescue/spliced_alignment.hpp"

#include <random>

#include "rescue/rescue_candidates.hpp"
#include "support/test_support.hpp"
#include "worker/seed_index.hpp"

namespace quilm {
namespace {

void put(std::string& s, std::size_t at, const char* pair) {
  s[at] = pair[0];
  s[at + 1] = pair[1];
}

// Random bases with GT..AG introns at [1000, 2000) and [2030, 3000), and a
// long exon from 5000.
std::string make_segment() {
  std::mt19937 random(7);
  std::string s(20000, 'A');
  for (char& c : s) c = "ACGT"[random() % 4];
  for (std::size_t at : {1000u, 2030u}) put(s, at, "GT");
  for (std::size_t at : {1998u, 2998u}) put(s, at, "AG");
  return s;
}

class SplicedAlignmentTest : public ::testing::Test {
 protected:
  std::string segment = make_segment();
  SegmentJunctions known{{{1000, 1999, '+'}, {2030, 2999, '+'}}};
  SplicedAligner aligner{segment, known, {10, 50000}};
  SplicedAlignment out;

  // Aligns over the diagonals given plus those the junctions reach.
  bool align(const std::string& read, std::vector<std::int64_t> diagonals) {
    aligner.extend_by_junctions(read, diagonals, 24);
    return aligner.align(read, diagonals, out);
  }
};

TEST_F(SplicedAlignmentTest, ShortAnchorAtAKnownJunction) {
  // 6 bases before the first intron, 94 after it.
  const std::string read =
      segment.substr(994, 6) + segment.substr(2000, 30) + segment.substr(3000, 64);
  ASSERT_TRUE(align(read, {3000 - 36}));
  EXPECT_EQ(out.position, 994);
  EXPECT_EQ(out.cigar, "6M1000N30M970N64M");
  EXPECT_EQ(out.kind, RescueKind::kIntrons);
  EXPECT_EQ(out.intron_strand, '+');
  EXPECT_EQ(out.edit_distance, 0);

  const std::string one =
      segment.substr(994, 6) + segment.substr(2000, 20) + "ACGTACGTAC" + segment.substr(5000, 64);
  ASSERT_TRUE(align(one.substr(0, 26), {2000 - 6}));
  EXPECT_EQ(out.cigar, "6M1000N20M");
  EXPECT_EQ(out.kind, RescueKind::kShortAnchor);
}

TEST_F(SplicedAlignmentTest, GapsAndClips) {
  const std::string deletion = segment.substr(6000, 50) + segment.substr(6052, 50);
  ASSERT_TRUE(align(deletion, {6000, 6002}));
  EXPECT_EQ(out.cigar, "50M2D50M");
  EXPECT_EQ(out.kind, RescueKind::kIndel);
  EXPECT_EQ(out.edit_distance, 2);

  const std::string insertion = segment.substr(7000, 50) + "TT" + segment.substr(7050, 48);
  ASSERT_TRUE(align(insertion, {7000, 6998}));
  EXPECT_EQ(out.position, 7000);
  EXPECT_EQ(out.kind, RescueKind::kIndel);
  EXPECT_EQ(out.edit_distance, 2);

  std::string adapter = segment.substr(8000, 80) + "AGATCGGAAGAGCACACGTC";
  ASSERT_TRUE(align(adapter, {8000}));
  EXPECT_EQ(out.position, 8000);
  EXPECT_EQ(out.kind, RescueKind::kClipped);
  EXPECT_TRUE(out.cigar.ends_with("S")) << out.cigar;
  EXPECT_LE(out.cigar.size(), 7u) << out.cigar;  // "8xM2yS"
}

TEST_F(SplicedAlignmentTest, NewJunctionsNeedASignalAndLongAnchors) {
  // An intron at [9050, 9850) with GT..AG, unknown to the aligner.
  put(segment, 9050, "GT");
  put(segment, 9848, "AG");
  // The five bases before the intron differ from those before its end.
  for (std::size_t k = 9045; k < 9050; ++k)
    if (segment[k] == segment[k + 800]) segment[k] = segment[k] == 'A' ? 'C' : 'A';
  SplicedAligner fresh{segment, known, {10, 50000}};
  const std::string read = segment.substr(9000, 50) + segment.substr(9850, 50);
  ASSERT_TRUE(fresh.align(read, std::vector<std::int64_t>{9000, 9800}, out));
  EXPECT_EQ(out.cigar, "50M800N50M");
  EXPECT_EQ(out.kind, RescueKind::kSplice);
  // With 5 bases on one side the new junction is not taken: they are clipped.
  const std::string short_anchor = segment.substr(9045, 5) + segment.substr(9850, 95);
  ASSERT_TRUE(fresh.align(short_anchor, std::vector<std::int64_t>{9045, 9845}, out));
  EXPECT_EQ(out.cigar, "5S95M");
  EXPECT_EQ(out.position, 9850);
}

TEST_F(SplicedAlignmentTest, MaskedLowerCaseBasesMatchNothing) {
  std::string masked = segment;
  for (std::size_t k = 15000; k < 15100; ++k) masked[k] = static_cast<char>(masked[k] - 'A' + 'a');
  const std::string read = segment.substr(15000, 100);
  SplicedAligner plain{masked, known, {10, 50000}, false};
  ASSERT_TRUE(plain.align(read, std::vector<std::int64_t>{15000}, out));
  EXPECT_EQ(out.cigar, "100M");
  EXPECT_EQ(out.edit_distance, 0);
  SplicedAligner with_mask{masked, known, {10, 50000}, true};
  EXPECT_FALSE(with_mask.align(read, std::vector<std::int64_t>{15000}, out));
}

TEST_F(SplicedAlignmentTest, RefusesWeakAndOutsideAlignments) {
  std::string noise(100, 'A');
  std::mt19937 random(11);
  for (char& c : noise) c = "ACGT"[random() % 4];
  EXPECT_FALSE(align(noise, {12000}));
  // Only 30 bases fit before the segment ends: too few to report.
  const std::string tail = segment.substr(segment.size() - 30) + segment.substr(100, 70);
  EXPECT_FALSE(align(tail, {static_cast<std::int64_t>(segment.size()) - 30}));
}

// The plain-fit rule in one pass over the read, as align_ungapped states it.
bool plain_fit(const std::string& segment, const std::string& read, std::int64_t d, int& score,
               int& mismatches) {
  const int n = static_cast<int>(read.size());
  if (d < 0 || d + n > static_cast<std::int64_t>(segment.size())) return false;
  const auto code = [](char c) { return std::string_view("ACGT").find(c); };
  const int end = kShortAnchor + 2;
  int head = 0, tail = 0;
  score = mismatches = 0;
  for (int i = 0; i < n; ++i) {
    const auto q = code(read[static_cast<std::size_t>(i)]);
    const auto r = code(segment[static_cast<std::size_t>(d + i)]);
    const int s = q == std::string_view::npos || r == std::string_view::npos
                      ? RescueScore::kUnknownBase
                  : q == r ? RescueScore::kMatch
                           : RescueScore::kMismatch;
    score += s;
    if (s == RescueScore::kMatch) continue;
    ++mismatches;
    head += i < end;
    tail += i >= n - end;
  }
  return head <= 1 && tail <= 1 && score >= minimum_rescue_score(n);
}

// Reads of many lengths (shorter than both ends together too) with a few
// changed bases, away from the junctions: the early exits give the answer
// of the full pass.
TEST_F(SplicedAlignmentTest, PlainFitAgreesWithAFullPass) {
  std::mt19937 random(5);
  int fits = 0;
  for (int trial = 0; trial < 4000; ++trial) {
    const int n = 5 + static_cast<int>(random() % 140);
    // Past the known junctions; now and then over the segment's end.
    const auto length = static_cast<std::int64_t>(segment.size());
    const std::int64_t d =
        trial % 50 == 0 ? length - n / 2 : 3100 + static_cast<std::int64_t>(random() % 16700);
    std::string read = segment.substr(static_cast<std::size_t>(d), static_cast<std::size_t>(n));
    read.resize(static_cast<std::size_t>(n), 'A');
    const int changes = static_cast<int>(random() % 12);
    for (int k = 0; k < changes; ++k) read[random() % read.size()] = "ACGTN"[random() % 5];
    int score = 0, mismatches = 0;
    const bool expected = plain_fit(segment, read, d, score, mismatches);
    const bool found = aligner.align_ungapped(read, d, out);
    ASSERT_EQ(found, expected) << read << " at " << d;
    if (!found) continue;
    ++fits;
    EXPECT_EQ(out.score, score);
    EXPECT_EQ(out.edit_distance, mismatches);
    EXPECT_EQ(out.cigar, std::to_string(n) + "M");
  }
  EXPECT_GT(fits, 500);
}

TEST(CandidateLoci, TheSeededDiagonalLeadsTheLocus) {
  std::string s = make_segment();
  const std::string path = ::testing::TempDir() + "/candidate_segment.txt";
  test::spit(path, s);
  const Segment segment = load_segment(path, 1);
  const ReducedSeedIndex index = build_reduced_seed_index(segment, 14);
  CandidateLoci loci;
  loci.find(index, s.substr(4000, 40) + s.substr(4500, 60), CandidateLimits{});
  ASSERT_EQ(loci.locus_count(), 1u);
  const auto diagonals = loci.locus(0);
  EXPECT_EQ(std::vector<std::int64_t>(diagonals.begin(), diagonals.end()),
            (std::vector<std::int64_t>{4000, 4460}));
}

TEST(SegmentJunctions, LookupsMatchAPlainScan) {
  std::vector<SegmentJunction> all;
  std::mt19937 random(3);
  for (int k = 0; k < 200; ++k) {
    const auto first = static_cast<std::int64_t>(random() % 5000);
    all.push_back({first, first + 20 + static_cast<std::int64_t>(random() % 300), '+'});
  }
  const SegmentJunctions set(all);
  for (std::int64_t from = 0; from < 5400; from += 97) {
    std::size_t starting = 0, ending = 0;
    std::vector<SegmentJunction> unique = all;
    std::sort(unique.begin(), unique.end(), [](const auto& a, const auto& b) {
      return std::tie(a.first, a.last) < std::tie(b.first, b.last);
    });
    unique.erase(std::unique(unique.begin(), unique.end()), unique.end());
    for (const auto& j : unique) {
      starting += j.first >= from && j.first < from + 100;
      ending += j.last >= from && j.last < from + 100;
    }
    EXPECT_EQ(set.starting_in(from, from + 100).size(), starting);
    EXPECT_EQ(set.ending_in(from, from + 100).size(), ending);
  }
  EXPECT_NE(set.find(all[5].first, all[5].last), nullptr);
  EXPECT_EQ(set.find(all[5].first, all[5].last + 1000), nullptr);
}

// Few junctions, at the edges of the blocks the lookups first look at:
// every range, empty or reaching below base 0, counts what a scan counts.
TEST(SegmentJunctions, SparseJunctionsAtBlockEdges) {
  const std::vector<SegmentJunction> all = {
      {63, 64, '+'}, {64, 127, '-'}, {127, 4095, '+'}, {4096, 9000, '.'}, {0, 20000, '+'}};
  const SegmentJunctions set(all);
  for (std::int64_t from = -5; from < 9100; ++from)
    for (const std::int64_t width : {0, 1, 2, 70}) {
      std::size_t starting = 0, ending = 0;
      for (const auto& j : all) {
        starting += j.first >= from && j.first < from + width;
        ending += j.last >= from && j.last < from + width;
      }
      ASSERT_EQ(set.starting_in(from, from + width).size(), starting) << from << " " << width;
      ASSERT_EQ(set.ending_in(from, from + width).size(), ending) << from << " " << width;
    }
}

}  // namespace
}  // namespace quilm
