// Read mapping: hand-made cases of the best, export-all and first-hit modes,
// and generated segments with repeats on which the full and the reduced
// index must both write exactly the records that a slow, direct mapper
// (tests/worker/reference_mapper.hpp) writes for the same reads.
#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "common/errors.hpp"
#include "common/output_file.hpp"
#include "common/seed_code.hpp"
#include "support/sequences.hpp"
#include "support/test_support.hpp"
#include "worker/read_mapping.hpp"
#include "worker/reference_mapper.hpp"

namespace quilm {
namespace {

using Reads = std::vector<std::pair<int, std::string>>;

class MappingTest : public test::TempDirTest {
 protected:
  // Maps with the full index, checks that the reduced one writes the same
  // bytes, and returns the result file.
  std::string map(const std::string& segment, const Reads& reads, const MapSettings& s) {
    test::spit(path("1.txt"), segment);
    std::string text;
    for (const auto& r : reads) text += std::to_string(r.first) + "\t" + r.second + "\n";
    test::spit(path("reads.fastq"), text);
    quilm_x(path("1.txt"), path("reads.fastq"), path("1.r"), s);
    std::string full = test::slurp(path("1.r"));
    quilm_x_red(path("1.txt"), path("reads.fastq"), path("2.r"), s);
    EXPECT_EQ(test::slurp(path("2.r")), full) << "reduced index differs";
    return full;
  }
  static MapSettings settings(int L, int E, int best = 1, int export_all = 0, int uni = 0,
                              int indel = 0) {
    MapSettings s;
    s.seed_length = L;
    s.max_errors = E;
    s.best_toggle = best;
    s.export_all_toggle = export_all;
    s.unidirectional_toggle = uni;
    s.indel_toggle = indel;
    return s;
  }
  static std::string rec(int number, const std::string& read, char strand, int errors, int pos) {
    return std::to_string(number) + "\t" + read + "\n" + strand + "\t1\t" + std::to_string(errors) +
           "\t" + std::to_string(pos) + "\n";
  }
};

using test::random_bases;

std::string rc(const std::string& s) {
  return test::reverse_complement_of(s);
}

// --- best mode --------------------------------------------------------------

TEST_F(MappingTest, BestPerfectPassPrefersForward) {
  std::mt19937 rng(1);
  std::string read = random_bases(rng, 24);
  std::string seg =
      random_bases(rng, 50) + rc(read) + random_bases(rng, 50) + read + random_bases(rng, 50);
  EXPECT_EQ(map(seg, {{5, read}}, settings(6, 2)), rec(5, read, 'F', 0, 124));
}

TEST_F(MappingTest, BestReverseOnlyAndUnidirectional) {
  std::mt19937 rng(2);
  std::string read = random_bases(rng, 30);
  std::string seg = random_bases(rng, 40) + rc(read) + random_bases(rng, 40);
  EXPECT_EQ(map(seg, {{1, read}}, settings(6, 2)), rec(1, read, 'R', 0, 40));
  EXPECT_EQ(map(seg, {{1, read}}, settings(6, 2, 1, 0, 1)), "");
}

TEST_F(MappingTest, BestSegmentBoundaries) {
  std::mt19937 rng(3);
  std::string seg = random_bases(rng, 200);
  // Start 1 is found.
  EXPECT_EQ(map(seg, {{1, seg.substr(0, 30)}}, settings(6, 2)),
            rec(1, seg.substr(0, 30), 'F', 0, 0));
  // Start must stay below N - n: a read ending on the last base, or on the
  // one before it, is not found; ending two bases earlier it is.
  EXPECT_EQ(map(seg, {{1, seg.substr(170, 30)}}, settings(6, 2)), "");
  EXPECT_EQ(map(seg, {{1, seg.substr(169, 30)}}, settings(6, 2)), "");
  EXPECT_EQ(map(seg, {{1, seg.substr(168, 30)}}, settings(6, 2)),
            rec(1, seg.substr(168, 30), 'F', 0, 168));
}

TEST_F(MappingTest, BestReadWithAnN) {
  std::mt19937 rng(4);
  std::string seg = random_bases(rng, 300);
  std::string read = seg.substr(100, 36);
  read[15] = 'N';
  EXPECT_EQ(map(seg, {{9, read}}, settings(6, 2)), rec(9, read, 'F', 1, 100));
}

TEST_F(MappingTest, BestTiesTakeListOrderAndZeroErrorsAllowed) {
  std::mt19937 rng(5);
  std::string core = random_bases(rng, 24);
  std::string a = core, b = core;
  a[20] = a[20] == 'A' ? 'C' : 'A';
  b[20] = b[20] == 'G' ? 'T' : 'G';
  // Two placements with one mismatch each at the same vote level: the first
  // in list order (the earlier position, within one seed's bucket) wins.
  std::string seg = random_bases(rng, 30) + a + random_bases(rng, 30) + b + random_bases(rng, 30);
  EXPECT_EQ(map(seg, {{1, core}}, settings(6, 2)), rec(1, core, 'F', 1, 30));
  // E = 0: T = S - 1 = 3, no level is visited.
  EXPECT_EQ(map(seg, {{1, core}}, settings(6, 0)), "");
  EXPECT_EQ(map(seg, {{1, a}}, settings(6, 0)), rec(1, a, 'F', 0, 30));
}

TEST_F(MappingTest, ShortAndLongReads) {
  std::mt19937 rng(6);
  std::string seg = random_bases(rng, 30000);
  std::string longread = seg.substr(1000, 12000);
  longread[5000] = longread[5000] == 'A' ? 'C' : 'A';
  EXPECT_EQ(map(seg, {{1, "ACGTA"}, {2, longread}, {3, seg.substr(20000, 2000)}}, settings(6, 2)),
            rec(2, longread, 'F', 1, 1000) + rec(3, seg.substr(20000, 2000), 'F', 0, 20000));
}

TEST_F(MappingTest, IndelPassWritesTheCandidateStart) {
  std::mt19937 rng(7);
  std::string seg = random_bases(rng, 400);
  std::string read = seg.substr(100, 20) + "G" + seg.substr(120, 20);  // one inserted base
  std::string out = map(seg, {{3, read}}, settings(8, 2, 1, 0, 0, 1));
  // The start with the most votes lies one base before the true start (the
  // seeds behind the insertion vote for it); the position is not corrected.
  EXPECT_EQ(out, rec(3, read, 'F', 1, 99));
  EXPECT_EQ(map(seg, {{3, read}}, settings(8, 2, 1, 0, 0, 0)), "");
}

// --- export-all mode --------------------------------------------------------

TEST_F(MappingTest, ExportAllWritesEveryPerfectHit) {
  std::mt19937 rng(8);
  std::string read = random_bases(rng, 24);
  std::string seg = random_bases(rng, 30) + read + random_bases(rng, 30) + rc(read) +
                    random_bases(rng, 30) + read + random_bases(rng, 30);
  EXPECT_EQ(map(seg, {{1, read}}, settings(6, 2, 1, 1)),
            rec(1, read, 'F', 0, 30) + rec(1, read, 'F', 0, 138) + rec(1, read, 'R', 0, 84));
}

TEST_F(MappingTest, ExportAllTentativeHitThenBetterOne) {
  // rem > 0: X and Y at level S - 1 with 2 mismatches, X first: X written as
  // tentative, Y not; Z at level S - 2 with 1 mismatch is written too and the
  // search ends after that level.
  std::mt19937 rng(9);
  std::string read = random_bases(rng, 40);  // L = 6: S = 7, rem = 4
  auto mutate = [&](std::string s, std::vector<int> at) {
    for (int i : at) s[i] = s[i] == 'A' ? 'C' : 'A';
    return s;
  };
  std::string x = mutate(read, {36, 39});  // the last seed (34..39) loses its vote
  std::string y = mutate(read, {37, 38});
  std::string z = mutate(read, {34});  // seeds 5 (30..35) and 6 lose theirs
  std::string seg = random_bases(rng, 20) + x + random_bases(rng, 20) + y + random_bases(rng, 20) +
                    z + random_bases(rng, 20);
  EXPECT_EQ(map(seg, {{1, read}}, settings(6, 2, 1, 1)),
            rec(1, read, 'F', 2, 20) + rec(1, read, 'F', 1, 140));
  // The best mode keeps X as its best at level S - 1 (2 > d = 1) and takes Z
  // at once at level S - 2.
  EXPECT_EQ(map(seg, {{1, read}}, settings(6, 2, 1, 0)), rec(1, read, 'F', 1, 140));
  // Without Z, Y is written as a found hit at level S - 3 (2 < d = 3).
  std::string seg2 = random_bases(rng, 20) + x + random_bases(rng, 20) + y + random_bases(rng, 20);
  EXPECT_EQ(map(seg2, {{1, read}}, settings(6, 2, 1, 1)),
            rec(1, read, 'F', 2, 20) + rec(1, read, 'F', 2, 80));
}

TEST_F(MappingTest, ExportAllIndelRecordsBesideMismatchRecords) {
  // A tentative mismatch hit does not prevent the indel pass.
  std::mt19937 rng(13);
  std::string read = random_bases(rng, 40);
  std::string x = read;
  x[36] = x[36] == 'A' ? 'C' : 'A';
  x[39] = x[39] == 'A' ? 'C' : 'A';
  std::string ins = read.substr(0, 3) + read.substr(4);  // read has one extra base
  std::string seg = random_bases(rng, 20) + x + random_bases(rng, 20) + ins + random_bases(rng, 20);
  test::RefSettings rs{2, 6, 1, 1, 1, 1};
  std::string want = test::ReferenceMapper(seg, rs).map_all({{1, read}});
  std::string got = map(seg, {{1, read}}, settings(6, 2, 1, 1, 1, 1));
  EXPECT_EQ(got, want);
  EXPECT_NE(got.find("F\t1\t2\t20\n"), std::string::npos);
  EXPECT_GE(std::count(got.begin(), got.end(), 'F'), 2);
}

// --- first-hit mode ---------------------------------------------------------

TEST_F(MappingTest, FirstHitSearchesForwardThenReverse) {
  std::mt19937 rng(10);
  std::string read = random_bases(rng, 30);
  std::string seg = random_bases(rng, 40) + rc(read) + random_bases(rng, 40);
  EXPECT_EQ(map(seg, {{1, read}}, settings(6, 2, 0)), rec(1, read, 'R', 0, 40));
  EXPECT_EQ(map(seg, {{1, read}}, settings(6, 2, 0, 0, 1)), "");
  EXPECT_EQ(map(seg, {{1, rc(read)}}, settings(6, 2, 0, 0, 1)), rec(1, rc(read), 'F', 0, 40));
}

TEST_F(MappingTest, FirstHitPastTheEndPlacement) {
  std::mt19937 rng(11);
  std::string seg = random_bases(rng, 200);
  std::string read = seg.substr(171) + "A";  // last base one past the end
  EXPECT_EQ(map(seg, {{1, read}}, settings(6, 2, 0, 0, 1)), rec(1, read, 'F', 1, 171));
  EXPECT_EQ(map(seg, {{1, read}}, settings(6, 2, 1, 0, 1)), "");
  EXPECT_EQ(map(seg, {{1, read}}, settings(6, 2, 1, 1, 1)), "");
}

TEST_F(MappingTest, FirstHitReducedSeedsAreVerified) {
  // L = 6, n = 72, S = 12 > 9 with indels on and E = 2: only 3 seeds vote.
  std::mt19937 rng(12);
  std::string seg = random_bases(rng, 500);
  std::string read = seg.substr(100, 72);
  std::string two = read, four = read;
  two[40] = two[40] == 'A' ? 'C' : 'A';
  two[60] = two[60] == 'A' ? 'C' : 'A';
  for (int i : {30, 40, 50, 60}) four[i] = four[i] == 'A' ? 'C' : 'A';
  EXPECT_EQ(map(seg, {{1, read}, {2, two}, {3, four}}, settings(6, 2, 0, 0, 1, 1)),
            rec(1, read, 'F', 0, 100) + rec(2, two, 'F', 2, 100));
}

// --- generated segments against the literal reading ---------------------------

struct Generated {
  std::string segment;
  Reads reads;
};

Generated generate(unsigned seed, int length) {
  std::mt19937 rng(seed);
  Generated g;
  std::string& s = g.segment;
  const std::string unit = random_bases(rng, 40);
  while (static_cast<int>(s.size()) < length) {
    switch (rng() % 8) {
      case 0:
        s += std::string(1 + rng() % 12, 'N');
        break;
      case 1: {  // soft-masked stretch
        std::string low = random_bases(rng, 10 + rng() % 40);
        for (char& c : low) c = static_cast<char>(c - 'A' + 'a');
        s += low;
        break;
      }
      case 2:
      case 3: {  // a copy of earlier text with mutations (repeat family)
        if (s.size() < 100) break;
        std::string copy = s.substr(rng() % (s.size() - 80), 40 + rng() % 80);
        for (char& c : copy)
          if (rng() % 30 == 0) c = "ACGT"[rng() % 4];
        if (rng() % 2) copy = rc(copy);
        s += copy;
        break;
      }
      case 4:
        s += unit;
        break;  // exact tandem-ish repeat
      default:
        s += random_bases(rng, 20 + rng() % 100);
    }
  }
  const int N = static_cast<int>(s.size());
  for (int r = 1; r <= 300; ++r) {
    int n = 12 + static_cast<int>(rng() % 60);
    if (r % 50 == 0) n = 200 + static_cast<int>(rng() % 300);
    if (r % 37 == 0) n = 3 + static_cast<int>(rng() % 6);
    std::string read;
    if (rng() % 10 == 0 || n >= N) {
      read = random_bases(rng, n);
    } else {
      int from = static_cast<int>(rng() % (N - n + 1));
      if (rng() % 15 == 0) from = rng() % 2 ? 0 : N - n;
      read = s.substr(from, n);
      for (char& c : read)  // reads are upper case
        if (c >= 'a') c = static_cast<char>(c - 'a' + 'A');
      int mism = static_cast<int>(rng() % 5);
      for (int m = 0; m < mism; ++m) read[rng() % n] = "ACGTN"[rng() % 5];
      if (rng() % 6 == 0) read.insert(rng() % n, 1, "ACGT"[rng() % 4]);
      if (rng() % 6 == 0 && read.size() > 2) read.erase(rng() % (read.size() - 1), 1);
      if (rng() % 2) read = rc(read);
    }
    g.reads.push_back({r, read});
  }
  return g;
}

class GeneratedMappingTest : public MappingTest, public ::testing::WithParamInterface<int> {};

TEST_P(GeneratedMappingTest, FullAndReducedEqualTheLiteralReading) {
  const int L = GetParam();
  for (unsigned seed = 1; seed <= 3; ++seed) {
    Generated g = generate(seed * 100 + L, L == 6 ? 3000 : 12000);
    for (int mode = 0; mode < 3; ++mode)
      for (int E : {0, 1, 2, 3})
        for (int indel : {0, 1})
          for (int uni : {0, 1}) {
            if (E == 3 && uni == 1) continue;
            test::RefSettings rs{E, L, indel, mode == 2 ? 0 : 1, uni, mode == 1 ? 1 : 0};
            test::ReferenceMapper ref(g.segment, rs);
            std::string want = ref.map_all(g.reads);
            std::string got =
                map(g.segment, g.reads, settings(L, E, rs.best, rs.export_all, uni, indel));
            ASSERT_EQ(got, want) << "L=" << L << " seed=" << seed << " mode=" << mode << " E=" << E
                                 << " indel=" << indel << " uni=" << uni;
          }
  }
}

INSTANTIATE_TEST_SUITE_P(SeedLengths, GeneratedMappingTest, ::testing::Values(6, 8, 10));

// A segment made almost only of repeats: a few families copied many times
// with few mutations, some reverse complemented, and runs of a short motif,
// so that most seeds have large buckets of very uneven sizes and reads hold
// repeated keys. Reads come from anywhere, the segment's ends included (the
// last placements lie at and around the upper bound), with mismatches, Ns
// and shifts, in lengths with and without remainder, some shorter than a
// seed.
Generated generate_repetitive(unsigned seed, int length, int L) {
  std::mt19937 rng(seed);
  Generated g;
  std::string& s = g.segment;
  std::vector<std::string> families;
  for (int f = 0; f < 3; ++f) families.push_back(random_bases(rng, 60 + rng() % 120));
  const std::string motif = random_bases(rng, 1 + rng() % 7);
  while (static_cast<int>(s.size()) < length) {
    const unsigned pick = rng() % 10;
    if (pick < 7) {
      std::string copy = families[pick % families.size()];
      for (char& c : copy)
        if (rng() % 60 == 0) c = "ACGT"[rng() % 4];
      s += rng() % 4 == 0 ? rc(copy) : copy;
    } else if (pick == 7) {
      for (int k = 0; k < 3 + static_cast<int>(rng() % 10); ++k) s += motif;
    } else {
      s += random_bases(rng, 5 + rng() % 30);
    }
  }
  const int N = static_cast<int>(s.size());
  for (int r = 1; r <= 160; ++r) {
    int n = L * (1 + static_cast<int>(rng() % 9)) + (rng() % 2 ? 0 : static_cast<int>(rng() % L));
    if (r % 41 == 0) n = 1 + static_cast<int>(rng() % L);
    n = std::min(n, N);
    int from = static_cast<int>(rng() % (N - n + 1));
    if (r % 9 == 0) from = N - n - static_cast<int>(rng() % 4);  // at the upper bound
    if (r % 13 == 0) from = static_cast<int>(rng() % 3);
    from = std::clamp(from, 0, N - n);
    std::string read = s.substr(from, n);
    if (r % 17 == 0) read.clear();
    while (static_cast<int>(read.size()) < n) read += motif;  // repeated keys
    read.resize(n);
    const int mism = static_cast<int>(rng() % 5);
    for (int m = 0; m < mism; ++m) read[rng() % n] = "ACGTN"[rng() % 5];
    if (rng() % 5 == 0) read = rc(read);
    g.reads.push_back({r, read});
  }
  return g;
}

// Maps the read file with an index built once, for the many settings of
// one seed length.
template <class Index>
std::string map_with(const Segment& segment, const Index& index, const std::string& reads,
                     const std::string& result, const MapSettings& s) {
  {
    OutputFile out(result);
    MapStats stats;
    map_reads(segment, index, reads, out, s, stats);
    out.close();
  }
  return test::slurp(result);
}

TEST_F(MappingTest, RepetitiveSegmentsEveryModeAndSeedLength) {
  for (int L = 6; L <= 14; ++L) {
    const Generated g = generate_repetitive(700 + L, 5000, L);
    test::spit(path("1.txt"), g.segment);
    std::string text;
    for (const auto& r : g.reads) text += std::to_string(r.first) + "\t" + r.second + "\n";
    test::spit(path("reads.fastq"), text);
    const Segment segment = load_segment(path("1.txt"), 1);
    // The full index of 4^L keys is kept to small seeds.
    const SeedIndex full = L <= 11 ? build_seed_index(segment, L) : SeedIndex{};
    const ReducedSeedIndex reduced = build_reduced_seed_index(segment, L);
    for (int mode = 0; mode < 3; ++mode)
      for (int E : {0, 1, 2, 3})
        for (int indel : {0, 1})
          for (int uni : {0, 1}) {
            test::RefSettings rs{E, L, indel, mode == 2 ? 0 : 1, uni, mode == 1 ? 1 : 0};
            const std::string want = test::ReferenceMapper(g.segment, rs).map_all(g.reads);
            const MapSettings s = settings(L, E, rs.best, rs.export_all, uni, indel);
            const std::string where = "L=" + std::to_string(L) + " mode=" + std::to_string(mode) +
                                      " E=" + std::to_string(E) +
                                      " indel=" + std::to_string(indel) +
                                      " uni=" + std::to_string(uni);
            ASSERT_EQ(map_with(segment, reduced, path("reads.fastq"), path("2.r"), s), want)
                << where;
            if (L <= 11) {
              ASSERT_EQ(map_with(segment, full, path("reads.fastq"), path("1.r"), s), want)
                  << where;
            }
          }
  }
}

TEST_F(MappingTest, OtherToggleValuesMapNothing) {
  std::string seg = "ACGTACGGTACCATGACCATGGACTTACCA";
  Reads reads{{1, seg.substr(0, 20)}};
  EXPECT_EQ(map(seg, reads, settings(6, 2, 2)), "");
  EXPECT_EQ(map(seg, reads, settings(6, 2, 1, 2)), "");
  MapSettings s = settings(6, 2);
  s.masked_toggle = 3;  // empty segment
  EXPECT_EQ(map(seg, reads, s), "");
}

TEST_F(MappingTest, MalformedRecordKeepsTheRecordsOfTheReadsBeforeIt) {
  // Reads are looked up in batches: the reads before a malformed record are
  // still mapped and written, whatever their place in a batch.
  std::mt19937 rng(14);
  std::string seg = random_bases(rng, 3000);
  Reads reads;
  for (int r = 1; r <= 45; ++r) reads.push_back({r, seg.substr(40 * r, 30 + r % 7)});
  const std::string want = map(seg, reads, settings(8, 2));
  ASSERT_FALSE(want.empty());
  std::string text;
  for (const auto& r : reads) text += std::to_string(r.first) + "\t" + r.second + "\n";
  test::spit(path("bad.fastq"), text + "46 ACGT\nx\n47\t" + seg.substr(0, 30) + "\n");
  EXPECT_THROW(quilm_x(path("1.txt"), path("bad.fastq"), path("bad.r"), settings(8, 2)),
               InputError);
  EXPECT_EQ(test::slurp(path("bad.r")), want);  // read 46 is shorter than a seed
}

TEST_F(MappingTest, MissingFilesThrow) {
  test::spit(path("1.txt"), "ACGT");
  test::spit(path("r.fastq"), "1\tACGT\n");
  EXPECT_THROW(quilm_x(path("1.txt"), path("none.fastq"), path("1.r"), settings(6, 2)), IoError);
  EXPECT_THROW(quilm_x(path("none.txt"), path("r.fastq"), path("1.r"), settings(6, 2)), IoError);
  EXPECT_THROW(quilm_x(path("1.txt"), path("r.fastq"), path("no/such/1.r"), settings(6, 2)),
               IoError);
}

}  // namespace
}  // namespace quilm
