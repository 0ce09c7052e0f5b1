// The part-by-part index builds against plain one-pass builds: every table,
// including bucket offsets of absent keys, rank entries and dense tables,
// must be identical, on segments made to stress part boundaries (runs of
// the smallest and largest keys), huge buckets (tandem repeats), N gaps and
// soft-masked stretches.
#include <random>
#include <string>

#include "support/test_support.hpp"
#include "worker/plain_seed_index.hpp"

namespace quilm {
namespace {

class SeedIndexBuildTest : public test::TempDirTest {
 protected:
  Segment segment_of(const std::string& text) {
    test::spit(path("seg.txt"), text);
    return load_segment(path("seg.txt"), 1);
  }
};

std::string generated_segment(std::mt19937& rng, std::size_t length) {
  std::string s;
  auto random_bases = [&](int n) {
    for (int i = 0; i < n; ++i) s += "ACGT"[rng() % 4];
  };
  while (s.size() < length) {
    switch (rng() % 8) {
      case 0:
        s += std::string(20 + rng() % 300, "AG"[rng() % 2]);
        break;  // smallest, largest key
      case 1:
        s += std::string(1 + rng() % 30, 'N');
        break;
      case 2: {
        const std::string unit =
            s.substr(s.size() > 10 ? rng() % (s.size() - 10) : 0, 2 + rng() % 7);
        for (int r = 20 + rng() % 100; r > 0; --r) s += unit;  // tandem repeat
        break;
      }
      case 3: {
        std::string copy = s.substr(s.empty() ? 0 : rng() % s.size(), 50 + rng() % 400);
        for (char& c : copy)
          if (rng() % 30 == 0) c = "ACGTacgt"[rng() % 8];
        s += copy;  // diverged copy, partly soft-masked
        break;
      }
      default:
        random_bases(200);
    }
  }
  return s;
}

void expect_same(const SeedIndex& a, const SeedIndex& b) {
  EXPECT_EQ(a.seed_length, b.seed_length);
  EXPECT_EQ(a.seed_counts, b.seed_counts);
  EXPECT_EQ(a.bucket_starts, b.bucket_starts);
  EXPECT_EQ(a.positions, b.positions);
  EXPECT_EQ(a.max_bucket, b.max_bucket);
}

void expect_same(const ReducedSeedIndex& a, const ReducedSeedIndex& b) {
  EXPECT_EQ(a.seed_length, b.seed_length);
  EXPECT_EQ(a.presence, b.presence);
  EXPECT_EQ(a.rank, b.rank);
  EXPECT_EQ(a.dense_bucket_starts, b.dense_bucket_starts);
  EXPECT_EQ(a.dense_counts, b.dense_counts);
  EXPECT_EQ(a.positions, b.positions);
  EXPECT_EQ(a.max_bucket, b.max_bucket);
}

TEST_F(SeedIndexBuildTest, MatchesPlainBuildOnGeneratedSegments) {
  std::mt19937 rng(2024);
  for (int L = 6; L <= 10; ++L) {
    for (std::size_t length : {std::size_t{3000}, std::size_t{400000}}) {
      SCOPED_TRACE("L=" + std::to_string(L) + " length " + std::to_string(length));
      Segment seg = segment_of(generated_segment(rng, length));
      expect_same(build_seed_index(seg, L), test::plain_seed_index(seg, L));
      expect_same(build_reduced_seed_index(seg, L), test::plain_reduced_seed_index(seg, L));
    }
  }
}

TEST_F(SeedIndexBuildTest, EveryKeyPresentAndNoKeyPresent) {
  // A de Bruijn-like walk is not needed: enough random bases make every key
  // of length 6 occur, so no slice of the tables is empty.
  std::mt19937 rng(6);
  std::string all;
  for (int i = 0; i < 200000; ++i) all += "ACGT"[rng() % 4];
  Segment full_seg = segment_of(all);
  ReducedSeedIndex red = build_reduced_seed_index(full_seg, 6);
  EXPECT_EQ(red.dense_counts.size(), 4096u);
  expect_same(red, test::plain_reduced_seed_index(full_seg, 6));
  expect_same(build_seed_index(full_seg, 6), test::plain_seed_index(full_seg, 6));

  Segment none = segment_of("ACGTANNNacgtacgtacgtNNCCGG");
  expect_same(build_reduced_seed_index(none, 7), test::plain_reduced_seed_index(none, 7));
  expect_same(build_seed_index(none, 7), test::plain_seed_index(none, 7));
}

}  // namespace
}  // namespace quilm
