// Reverse-strand seed keys derived from the forward ones, and the batched
// lookups, against transcoding the reverse complement and looking up one
// seed at a time.
#include "worker/seed_lookups.hpp"

#include <random>
#include <string>
#include <vector>

#include "common/seed_code.hpp"
#include "support/test_support.hpp"
#include "worker/seed_index.hpp"

namespace quilm {
namespace {

std::vector<std::int64_t> keys_of(const std::string& read, int L) {
  std::vector<std::int64_t> keys;
  int rem = 0;
  transnum_x(read, L, keys, rem);
  return keys;
}

TEST(ReverseSeedKeys, ComplementKeyReversesAndComplementsTheCodes) {
  // ACGTAC (722) reads GTACGT (3373) on the other strand.
  EXPECT_EQ(reverse_complement_key(722, 6), 3373);
  EXPECT_EQ(reverse_complement_key(keys_of("ACGTAC", 6)[0], 6), keys_of("GTACGT", 6)[0]);
  // Fourteen A become fourteen T; fourteen G become fourteen C.
  EXPECT_EQ(reverse_complement_key(0, 14), keys_of(std::string(14, 'T'), 14)[0]);
  EXPECT_EQ(reverse_complement_key(keys_of(std::string(14, 'G'), 14)[0], 14),
            keys_of(std::string(14, 'C'), 14)[0]);
  EXPECT_EQ(reverse_complement_key(-1, 10), -1);
}

TEST(ReverseSeedKeys, EqualTranscodingTheReverseComplement) {
  std::mt19937 rng(21);
  const std::string alphabet = "ACGTACGTACGTACGTACGTNacgtRY";
  std::vector<std::int64_t> got;
  std::string rc;
  int derived = 0;
  for (int L = 6; L <= 14; ++L) {
    for (int trial = 0; trial < 400; ++trial) {
      // Half the reads a multiple of L long (the derived path), the rest any
      // length, short ones included; most of them clean, some with N,
      // lower-case or other bytes.
      int n = trial % 2 == 0 ? L * static_cast<int>(rng() % 12) : static_cast<int>(rng() % 150);
      std::string read;
      const std::size_t kinds = trial % 3 == 0 ? alphabet.size() : 4;
      for (int i = 0; i < n; ++i) read += alphabet[rng() % kinds];
      reverse_complement(read, rc);
      const std::vector<std::int64_t> forward = keys_of(read, L);
      reverse_seed_keys(forward, rc, L, got);
      ASSERT_EQ(got, keys_of(rc, L)) << "L=" << L << " read=" << read;
      derived += n % L == 0 && n > 0;
    }
  }
  EXPECT_GT(derived, 1000);
}

class SeedLookupsTest : public test::TempDirTest {};

template <class Index>
void expect_same_buckets(const Index& index,
                         const std::vector<std::vector<std::int64_t>>& strands) {
  SeedLookups lookups;
  lookups.clear();
  std::vector<std::size_t> numbers;
  for (const auto& keys : strands) numbers.push_back(lookups.add(keys));
  lookups.look_up(index);
  for (std::size_t s = 0; s < strands.size(); ++s) {
    const auto buckets = lookups.buckets(numbers[s]);
    ASSERT_EQ(buckets.size(), strands[s].size());
    for (std::size_t i = 0; i < buckets.size(); ++i) {
      const std::int64_t id = index.translate(strands[s][i]);
      const auto want = id >= 0 ? index.bucket(id) : SeedLookups::Bucket{};
      EXPECT_EQ(buckets[i].data(), want.data());
      EXPECT_EQ(buckets[i].size(), want.size());
    }
  }
}

TEST_F(SeedLookupsTest, BatchGivesTheBucketsOfSingleLookups) {
  std::mt19937 rng(22);
  std::string text;
  for (int i = 0; i < 3000; ++i) text += "ACGTN"[rng() % 5 == 0 ? 4 : rng() % 4];
  test::spit(path("seg.txt"), text);
  const Segment seg = load_segment(path("seg.txt"), 1);
  // Keys that occur, keys that do not, -1, and an empty strand.
  std::vector<std::vector<std::int64_t>> strands;
  for (int s = 0; s < 20; ++s) {
    std::vector<std::int64_t> keys;
    for (int i = 0; i < s % 7; ++i)
      keys.push_back(rng() % 5 == 0 ? -1 : static_cast<std::int64_t>(rng() % 4096));
    strands.push_back(keys);
  }
  expect_same_buckets(build_seed_index(seg, 6), strands);
  expect_same_buckets(build_reduced_seed_index(seg, 6), strands);
}

}  // namespace
}  // namespace quilm
