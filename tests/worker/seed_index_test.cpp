// Seed keys, buckets and positions of the seed index unit and of
// its reduced variant, checked against a literal reading of the
// steps on small segments.
#include "worker/seed_index.hpp"

#include <random>
#include <string>
#include <vector>

#include "common/errors.hpp"
#include "support/seed_buckets.hpp"
#include "support/test_support.hpp"

namespace quilm {
namespace {

class SeedIndexTest : public test::TempDirTest {
 protected:
  Segment segment_of(const std::string& text, int masked = 1) {
    test::spit(path("seg.txt"), text);
    return load_segment(path("seg.txt"), masked);
  }
};

template <class Index>
std::vector<std::int32_t> all_positions(const Index& index) {
  return {index.positions, index.positions + index.position_count};
}

template <class Index>
std::vector<std::int32_t> bucket_of(const Index& index, std::int64_t key) {
  std::int64_t id = index.translate(key);
  if (id < 0) return {};
  auto span = index.bucket(id);
  return {span.begin(), span.end()};
}

TEST_F(SeedIndexTest, TwoSeedsAcrossAnN) {
  Segment seg = segment_of("ACGTACNACGTAC");
  EXPECT_EQ(seg.length, 13u);
  SeedIndex full = build_seed_index(seg, 6);
  ReducedSeedIndex red = build_reduced_seed_index(seg, 6);
  EXPECT_EQ(bucket_of(full, 722), (std::vector<std::int32_t>{1, 8}));
  EXPECT_EQ(bucket_of(red, 722), (std::vector<std::int32_t>{1, 8}));
  EXPECT_EQ(full.position_count, 2u);
  EXPECT_EQ(full.max_bucket, 2);
  EXPECT_EQ(red.max_bucket, 2);
  EXPECT_EQ(red.translate(722), 0);
  EXPECT_EQ(red.translate(721), -1);
  EXPECT_EQ(red.translate(-1), -1);
  EXPECT_EQ(red.key_count, 1u);
}

TEST_F(SeedIndexTest, ShortRunsGiveNoSeeds) {
  Segment seg = segment_of("ACGTANACGNNTTTTTN");
  SeedIndex full = build_seed_index(seg, 6);
  ReducedSeedIndex red = build_reduced_seed_index(seg, 6);
  EXPECT_EQ(full.position_count, 0u);
  EXPECT_EQ(full.max_bucket, 0);
  EXPECT_EQ(red.position_count, 0u);
  EXPECT_EQ(red.key_count, 0u);
  EXPECT_EQ(red.max_bucket, 0);
  for (std::int64_t k = 0; k < 4096; ++k) EXPECT_EQ(red.translate(k), -1);
}

TEST_F(SeedIndexTest, LowerCaseDependsOnMaskedToggle) {
  Segment masked = segment_of("acgtACGTAC", 1);
  EXPECT_EQ(std::string(masked.data(), masked.length), "acgtACGTAC");
  SeedIndex a = build_seed_index(masked, 6);
  EXPECT_EQ(all_positions(a), (std::vector<std::int32_t>{5}));  // ACGTAC only

  Segment upper = segment_of("acgtACGTAC", 0);
  EXPECT_EQ(std::string(upper.data(), upper.length), "ACGTACGTAC");
  SeedIndex b = build_seed_index(upper, 6);
  EXPECT_EQ(b.position_count, 5u);

  Segment none = segment_of("ACGTACGTAC", 2);
  EXPECT_EQ(none.length, 0u);
  EXPECT_TRUE(build_seed_index(none, 6).position_count == 0);
}

TEST_F(SeedIndexTest, LinesAndHeadersAreDroppedAndSeedsSpanLines) {
  Segment seg = segment_of(">chr1 x\r\nACG\r\nTAC\nGT\n>chr2\nAC\n");
  EXPECT_EQ(std::string(seg.data(), seg.length), "ACGTACGTAC");
  // Zero bytes behind the last base.
  for (std::size_t i = seg.length; i < seg.length + kSegmentPad; ++i) ASSERT_EQ(seg.data()[i], 0);
  SeedIndex full = build_seed_index(seg, 6);
  EXPECT_EQ(bucket_of(full, 722), (std::vector<std::int32_t>{1, 5}));
}

TEST_F(SeedIndexTest, UnreadableSegmentThrows) {
  EXPECT_THROW(load_segment(path("missing.txt"), 1), IoError);
  Segment seg = segment_of("ACGT");
  EXPECT_THROW(build_seed_index(seg, 5), UsageError);
  EXPECT_THROW(build_reduced_seed_index(seg, 16), UsageError);
}

TEST_F(SeedIndexTest, EmptySegment) {
  Segment seg = segment_of("");
  EXPECT_EQ(seg.length, 0u);
  EXPECT_TRUE(build_seed_index(seg, 8).position_count == 0);
  EXPECT_TRUE(build_reduced_seed_index(seg, 8).position_count == 0);
}

// Random segments with repeats, Ns and lower case, every seed length 6..10:
// both indexes list exactly the literal buckets, and the reduced one numbers
// the present keys densely in ascending key order.
TEST_F(SeedIndexTest, BothIndexesMatchLiteralBuckets) {
  std::mt19937 rng(7);
  const char alphabet[] = "ACGTACGTACGTACGTNacgt";
  for (int L : {6, 7, 8, 10}) {
    std::string s;
    while (s.size() < 20000) {
      if (!s.empty() && rng() % 4 == 0) {
        std::size_t from = rng() % s.size();
        s += s.substr(from, 30 + rng() % 200);  // a repeat
      } else {
        for (int i = 0; i < 100; ++i) s += alphabet[rng() % 21];
      }
    }
    Segment seg = segment_of(s, 1);
    auto ref = test::seed_buckets(s, L).of_key;
    SeedIndex full = build_seed_index(seg, L);
    ReducedSeedIndex red = build_reduced_seed_index(seg, L);
    std::int32_t max_bucket = 0;
    std::int64_t dense = 0;
    std::size_t total = 0;
    for (std::size_t k = 0; k < ref.size(); ++k) {
      ASSERT_EQ(bucket_of(full, k), ref[k]) << "L=" << L << " key " << k;
      ASSERT_EQ(bucket_of(red, k), ref[k]) << "L=" << L << " key " << k;
      if (!ref[k].empty()) {
        ASSERT_EQ(red.translate(k), dense++);
      } else {
        ASSERT_EQ(red.translate(k), -1);
      }
      max_bucket = std::max<std::int32_t>(max_bucket, static_cast<std::int32_t>(ref[k].size()));
      total += ref[k].size();
    }
    EXPECT_EQ(full.max_bucket, max_bucket);
    EXPECT_EQ(red.max_bucket, max_bucket);
    EXPECT_EQ(all_positions(full), all_positions(red));
    EXPECT_EQ(full.position_count, total);
    EXPECT_EQ(static_cast<std::int64_t>(red.key_count), dense);
  }
}

TEST(Transnum, SeedsCoverTheReadAndTheLastEndsWithIt) {
  std::vector<std::int64_t> keys;
  int rem = -1;
  // 14 bases, L = 6: seeds at 0, 6 and 8.
  EXPECT_EQ(transnum_x("ACGTACACGTACGG", 6, keys, rem), 3);
  EXPECT_EQ(rem, 2);
  EXPECT_EQ(keys[0], 722);
  EXPECT_EQ(keys[1], 722);
  // GTACGG = 3,1,0,2,3,3
  EXPECT_EQ(keys[2], ((((3 * 4 + 1) * 4 + 0) * 4 + 2) * 4 + 3) * 4 + 3);
  EXPECT_EQ(seed_read_position(2, 3, 14, 6), 8);
  EXPECT_EQ(seed_read_position(1, 3, 14, 6), 6);

  EXPECT_EQ(transnum_x("ACGTACNCGTAC", 6, keys, rem), 2);
  EXPECT_EQ(rem, 0);
  EXPECT_EQ(keys[0], 722);
  EXPECT_EQ(keys[1], -1);

  EXPECT_EQ(transnum_x("acgtac", 6, keys, rem), 1);
  EXPECT_EQ(keys[0], -1);

  EXPECT_EQ(transnum_x("ACGTA", 6, keys, rem), 0);
  EXPECT_EQ(rem, 5);
  EXPECT_TRUE(keys.empty());
}

}  // namespace
}  // namespace quilm
