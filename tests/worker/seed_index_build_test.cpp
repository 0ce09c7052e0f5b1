// The part-by-part index builds against a plain walk of the segment: every
// key yields exactly its bucket, on segments made to stress part and key-line
// boundaries (runs of the smallest and largest keys), huge buckets (tandem
// repeats), N gaps and soft-masked stretches.
#include <algorithm>
#include <random>
#include <string>

#include "support/seed_buckets.hpp"
#include "support/test_support.hpp"

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

// The contract of an index: each key yields exactly its plain bucket (or no
// id when absent), and the largest bucket is the recorded one.
template <class Index>
void expect_buckets(const Index& index, const test::SeedBuckets& plain) {
  EXPECT_EQ(index.max_bucket, plain.max_bucket);
  std::size_t total = 0;
  for (std::size_t k = 0; k < plain.of_key.size(); ++k) {
    const std::int64_t id = index.translate(static_cast<std::int64_t>(k));
    if (plain.of_key[k].empty()) {
      if (id >= 0) {
        ASSERT_TRUE(index.bucket(id).empty()) << "key " << k;
      }
      continue;
    }
    ASSERT_GE(id, 0) << "key " << k;
    const auto got = index.bucket(id);
    ASSERT_TRUE(std::equal(got.begin(), got.end(), plain.of_key[k].begin(), plain.of_key[k].end()))
        << "key " << k;
    total += got.size();
  }
  EXPECT_EQ(index.position_count, total);
}

void expect_both(const Segment& seg, int L) {
  const test::SeedBuckets plain = test::seed_buckets(seg, L);
  expect_buckets(build_seed_index(seg, L), plain);
  expect_buckets(build_reduced_seed_index(seg, L), plain);
}

TEST_F(SeedIndexBuildTest, MatchesPlainBuildOnGeneratedSegments) {
  std::mt19937 rng(2024);
  for (int L = 6; L <= 10; ++L) {
    for (std::size_t length : {std::size_t{3000}, std::size_t{400000}}) {
      SCOPED_TRACE("L=" + std::to_string(L) + " length " + std::to_string(length));
      Segment seg = segment_of(generated_segment(rng, length));
      expect_both(seg, L);
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
  EXPECT_EQ(red.key_count, 4096u);
  expect_both(full_seg, 6);

  Segment none = segment_of("ACGTANNNacgtacgtacgtNNCCGG");
  expect_both(none, 7);
}

}  // namespace
}  // namespace quilm
