// Split-read mapping on repeat-rich segments against the step-by-step
// reference: reads inside a satellite array, in poly-A, from a family with
// thousands of copies and across introns beside repeats; pair lists that
// fill their capacity several times; levels that stop early and late. Both
// index variants must write exactly the reference's bytes.
#include <random>
#include <string>
#include <vector>

#include "literal_split_mapping.hpp"
#include "splice/splicing_mapping.hpp"
#include "splice_test_data.hpp"
#include "support/test_support.hpp"

namespace quilm {
namespace {

// Changes about a share p of the bases.
void diverge(std::string& s, double p, std::mt19937& rng) {
  std::uniform_real_distribution<double> u(0, 1);
  for (char& c : s)
    if (u(rng) < p) c = "ACGT"[rng() % 4];
}

// A segment with the repeats of a mammalian genome in small: a satellite
// array of near-identical higher-order units of diverged 171-base monomers,
// a simple satellite, 1,500 copies of a 120-base element 1-15% diverged with
// poly-A tails, poly-A and dinucleotide runs, and introns of every signal
// kind placed among them.
struct RepeatGenome {
  std::string bases;
  std::vector<NumberedRead> reads;

  explicit RepeatGenome(std::uint32_t seed) {
    std::mt19937 rng(seed);
    bases = test::random_bases(400000, seed);
    std::string unit;
    const std::string monomer = test::random_bases(171, seed + 1);
    for (int m = 0; m < 6; ++m) {
      std::string copy = monomer;
      diverge(copy, 0.25, rng);
      unit += copy;
    }
    for (std::size_t at = 20000; at < 45000; at += unit.size()) {
      std::string copy = unit;
      diverge(copy, 0.01, rng);
      bases.replace(at, copy.size(), copy);
    }
    std::string simple;
    while (simple.size() < 2500) simple += "GGAAT";
    diverge(simple, 0.04, rng);
    bases.replace(50000, simple.size(), simple);
    const std::string element = test::random_bases(120, seed + 2);
    for (int k = 0; k < 1500; ++k) {
      std::string copy = element;
      diverge(copy, 0.01 + 0.14 * (k % 10) / 10.0, rng);
      copy += std::string(6 + rng() % 20, 'A');
      if (k % 2) copy = test::reverse_complement_of(copy);
      bases.replace(60000 + rng() % 330000, copy.size(), copy);
    }
    for (int k = 0; k < 60; ++k)
      bases.replace(60000 + rng() % 330000, 20 + rng() % 150, std::string(200, k % 3 ? 'A' : 'T'));
    for (int k = 0; k < 30; ++k) {
      std::string run;
      while (run.size() < 80) run += k % 2 ? "CA" : "TG";
      bases.replace(60000 + rng() % 330000, run.size(), run);
    }
    bases.resize(400000);
    place_reads(rng);
  }

  void add(std::string read, std::mt19937& rng, int max_changes) {
    for (int e = static_cast<int>(rng() % (max_changes + 1)); e > 0; --e)
      read[rng() % read.size()] = "ACGT"[rng() % 4];
    if (rng() % 2) read = test::reverse_complement_of(read);
    reads.push_back({static_cast<int>(reads.size()) + 1, read});
  }

  void place_reads(std::mt19937& rng) {
    const char* kinds[][2] = {{"GT", "AG"}, {"GC", "AG"}, {"AT", "AC"},
                              {"CT", "AC"}, {"CT", "GC"}, {"GT", "AT"}};
    // Introns with a repeat on one side or inside, and reads across them.
    for (int i = 0; i < 40; ++i) {
      const std::size_t at = 62000 + 8000 * static_cast<std::size_t>(i);
      const std::size_t length = 80 + rng() % 4000;
      test::place_intron(bases, at, length, kinds[i % 6][0], kinds[i % 6][1]);
      for (int r = 0; r < 2; ++r) {
        const std::size_t left = 5 + rng() % 90;
        add(test::junction_read(bases, at, length, left, 100 - left), rng, 2);
      }
    }
    // Introns inside the satellite array and into the simple satellite.
    for (const std::size_t at : {30000u, 36021u, 49990u, 52390u})
      add(test::junction_read(bases, at, 1026, 50, 50), rng, 1);
    for (int r = 0; r < 24; ++r) {
      const std::size_t from = r < 12 ? 20000 + rng() % 24000 : 50000 + rng() % 2300;
      add(bases.substr(from, 100), rng, 3);
    }
    for (int r = 0; r < 24; ++r) add(bases.substr(60000 + rng() % 330000, 100), rng, 3);
    add(std::string(100, 'A'), rng, 2);
    add(std::string(60, 'A') + std::string(40, 'T'), rng, 0);
    std::string ca;
    while (ca.size() < 100) ca += "CA";
    add(ca, rng, 1);
  }
};

class SplitReadRepeatsTest : public test::TempDirTest {
 protected:
  void check(const RepeatGenome& g, const test::LiteralSettings& s) {
    std::string text;
    for (const NumberedRead& r : g.reads)
      text += std::to_string(r.number) + "\t" + r.sequence + "\n";
    test::spit(path("splice0.fastq"), text);
    test::spit(path("1.txt"), g.bases);
    const Segment segment = load_segment(path("1.txt"), 1);
    const std::string want =
        test::literal_split_records(segment, build_seed_index(segment, s.seed_length), g.reads, s);
    SpliceSettings settings;
    settings.seed_length = s.seed_length;
    settings.max_errors = s.max_errors;
    settings.max_read_length = s.max_read_length;
    settings.min_gap_distance = s.min_gap_distance;
    settings.max_gap_distance = s.max_gap_distance;
    splicing_mapping(path("1.txt"), path("splice0.fastq"), path("full.r"), settings);
    EXPECT_EQ(test::slurp(path("full.r")), want);
    if (s.seed_length == 14) {
      splicing_mapping_red(path("1.txt"), path("splice0.fastq"), path("red.r"), settings);
      EXPECT_EQ(test::slurp(path("red.r")), want);
    }
    records_ += std::count(want.begin(), want.end(), '\n') / 2;
  }

  long records_ = 0;
};

TEST_F(SplitReadRepeatsTest, EveryRecordOfTheReferenceInItsOrder) {
  const RepeatGenome g(41);
  for (const auto& [c, e] : {std::pair{14, 2}, std::pair{14, 0}, std::pair{10, 3}}) {
    SCOPED_TRACE("seed " + std::to_string(c) + ", errors " + std::to_string(e));
    check(g, {c, e, 100, 10, 50000});
  }
  EXPECT_GT(records_, 500);
}

TEST_F(SplitReadRepeatsTest, PairListsThatFillAndOtherGapBounds) {
  // A maximum read length below the seed length leaves room for twice the
  // largest bucket's pairs: the lists of repeat reads fill, often several
  // times over, and the threshold rises until they fit.
  const RepeatGenome g(42);
  check(g, {14, 2, 1, 10, 50000});
  // How often the lists of the forward strands filled: the threshold rose
  // from 1 once per filling.
  test::spit(path("1.txt"), g.bases);
  const Segment segment = load_segment(path("1.txt"), 1);
  const SeedIndex index = build_seed_index(segment, 14);
  PairList list;
  int filled_often = 0;
  std::vector<std::int64_t> keys;
  for (const NumberedRead& r : g.reads) {
    int rem = 0;
    const int seeds = transnum_x(r.sequence, 14, keys, rem);
    const auto cands = test::mapped_candidates(index, keys, 100, 14, segment.length - 99);
    list.form(cands, {}, r.sequence, segment.data(),
              {14, seeds, 2, 10, 50000, 2 * index.max_bucket}, DonorSet::kForward);
    filled_often += list.threshold() >= 4;
  }
  EXPECT_GE(filled_often, 5);
  check(g, {12, 2, 11, 100, 3000});
  check(g, {8, 1, 100, 40, 2000});
  EXPECT_GT(records_, 100);
}

}  // namespace
}  // namespace quilm
