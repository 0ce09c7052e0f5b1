// Candidate lists of one strand: whichever way the votes are counted (every
// vote, or the small buckets and binary searches), the list must be the
// entries of the literal vote-by-vote list whose count lies above the floor,
// in that list's order, with one slot per start.
#include "worker/vote_collection.hpp"

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "support/test_support.hpp"
#include "worker/seed_index.hpp"

namespace quilm {
namespace {

using Positions = std::vector<std::int32_t>;
using Route = StrandVotes::Route;

struct Expected {
  std::int32_t start;
  std::uint32_t hits;
};

// Every vote in seed order, a direct counter per start; the entries above
// the floor.
std::vector<Expected> literal_list(const std::vector<Positions>& buckets, int seeds, int n, int L,
                                   std::int64_t upper, std::uint32_t floor) {
  std::map<std::int64_t, std::uint32_t> counter;
  std::vector<Expected> out;
  for (std::size_t i = 0; i < buckets.size(); ++i) {
    const int off = seed_read_position(static_cast<int>(i), seeds, n, L);
    for (const std::int32_t p : buckets[i]) {
      const std::int64_t start = p - off;
      if (start <= 0 || (upper >= 0 && start >= upper)) continue;
      const std::uint32_t hits = ++counter[start];
      if (hits > floor) out.push_back({static_cast<std::int32_t>(start), hits});
    }
  }
  return out;
}

// Collects by every route and checks each against the literal list; the
// slots must name the starts one to one.
void check_routes(const std::vector<Positions>& buckets, int seeds, int n, int L,
                  std::int64_t upper, std::uint32_t floor, const std::string& what) {
  std::vector<std::span<const std::int32_t>> spans(buckets.begin(), buckets.end());
  const SeedVotes in{spans, seeds, n, L, upper};
  const std::vector<Expected> want = literal_list(buckets, seeds, n, L, upper, floor);
  for (const Route route : {Route::kCheapest, Route::kAllVotes, Route::kSmallBuckets}) {
    StrandVotes votes;
    votes.collect(in, floor, route);
    const std::vector<Candidate>& got = votes.list();
    const std::string where = what + " route " + std::to_string(static_cast<int>(route));
    ASSERT_EQ(got.size(), want.size()) << where;
    std::map<std::int32_t, std::uint32_t> slot_of;
    std::set<std::uint32_t> slots;
    for (std::size_t e = 0; e < got.size(); ++e) {
      ASSERT_EQ(got[e].start, want[e].start) << where << " entry " << e;
      ASSERT_EQ(got[e].hits, want[e].hits) << where << " entry " << e;
      const auto [it, fresh] = slot_of.emplace(got[e].start, got[e].slot);
      if (fresh)
        ASSERT_TRUE(slots.insert(got[e].slot).second) << where << ": two starts share a slot";
      else
        ASSERT_EQ(it->second, got[e].slot) << where << ": one start, two slots";
    }
  }
}

Positions sorted_unique(Positions p) {
  std::sort(p.begin(), p.end());
  p.erase(std::unique(p.begin(), p.end()), p.end());
  return p;
}

TEST(StrandVotes, HandMadeCountsOrderAndFilters) {
  // L = 4, n = 10: S = 3, seeds at 0, 4 and 6 (the last overlaps its
  // neighbour). Upper bound 30. Seed 0 votes 11, 21 (30 is at the bound);
  // seed 1 votes 11 (30 and 96 are not below it); seed 2 votes 11, 21 (0
  // is not above 0, 494 not below 30). The full list is (11,1) (21,1)
  // (11,2) (11,3) (21,2).
  const std::vector<Positions> b = {{11, 21, 30}, {15, 34, 100}, {6, 17, 27, 500}};
  for (std::uint32_t floor = 0; floor <= 3; ++floor)
    check_routes(b, 3, 10, 4, 30, floor, "floor " + std::to_string(floor));
  std::vector<std::span<const std::int32_t>> spans(b.begin(), b.end());
  StrandVotes votes;
  votes.collect({spans, 3, 10, 4, 30}, 1, Route::kSmallBuckets);
  const std::vector<Candidate>& got = votes.list();
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0].start, 11);
  EXPECT_EQ(got[0].hits, 2u);
  EXPECT_EQ(got[1].start, 11);
  EXPECT_EQ(got[1].hits, 3u);
  EXPECT_EQ(got[2].start, 21);
  EXPECT_EQ(got[2].hits, 2u);
  EXPECT_EQ(got[0].slot, got[1].slot);
  EXPECT_NE(got[0].slot, got[2].slot);
  // Clearing marks the start, through any of its entries.
  votes.clear(got[0].slot);
  EXPECT_TRUE(votes.cleared(got[1].slot));
  EXPECT_FALSE(votes.cleared(got[2].slot));
}

TEST(StrandVotes, NoBucketsOrFloorAtTheSeedCount) {
  const std::vector<Positions> none = {{}, {}, {}};
  check_routes(none, 3, 12, 4, -1, 1, "empty buckets");
  const std::vector<Positions> some = {{5, 9}, {9, 13}};
  check_routes(some, 2, 8, 4, -1, 2, "floor = S");
  check_routes(some, 2, 8, 4, -1, 5, "floor above S");
}

// Buckets of a repetitive segment: a few starts that many seeds agree on,
// seeds with huge buckets (repeats) next to small and empty ones (absent
// keys, seeds with an N), the same bucket for repeated keys of a read, and
// starts below 1 and at or past the upper bound.
std::vector<Positions> random_buckets(std::mt19937& rng, int seeds, int n, int L, int span) {
  std::vector<Positions> b(static_cast<std::size_t>(seeds));
  std::vector<std::int64_t> true_starts;
  for (int t = 0; t < 1 + static_cast<int>(rng() % 6); ++t)
    true_starts.push_back(static_cast<std::int64_t>(rng() % span) - n);
  for (int i = 0; i < seeds; ++i) {
    const int off = seed_read_position(i, seeds, n, L);
    Positions& p = b[static_cast<std::size_t>(i)];
    const int shape = static_cast<int>(rng() % 6);
    if (shape == 0) continue;   // no vote
    if (shape == 1 && i > 0) {  // a repeated key: the bucket of an earlier seed
      p = b[rng() % static_cast<std::size_t>(i)];
      continue;
    }
    for (const std::int64_t s : true_starts)
      if (rng() % 4 != 0 && s + off > 0) p.push_back(static_cast<std::int32_t>(s + off));
    const int noise =
        shape == 2 ? 300 + static_cast<int>(rng() % 700) : static_cast<int>(rng() % 6);
    for (int k = 0; k < noise; ++k) p.push_back(1 + static_cast<std::int32_t>(rng() % span));
    p = sorted_unique(std::move(p));
  }
  return b;
}

TEST(StrandVotes, RandomRepetitiveBucketsEveryFloorAndBound) {
  std::mt19937 rng(31);
  for (int round = 0; round < 400; ++round) {
    const int L = 6 + static_cast<int>(rng() % 9);
    const int n = L + static_cast<int>(rng() % (8 * L));
    const int seeds = (n + L - 1) / L;
    const int span = 50 + static_cast<int>(rng() % 400);  // small: many coincidences
    const std::vector<Positions> b = random_buckets(rng, seeds, n, L, span);
    const std::int64_t upper = rng() % 3 == 0 ? -1 : span - n + static_cast<int>(rng() % 20);
    for (std::uint32_t floor = 0; floor <= static_cast<std::uint32_t>(seeds); ++floor)
      check_routes(b, seeds, n, L, upper, floor,
                   "round " + std::to_string(round) + " floor " + std::to_string(floor));
  }
}

TEST(StrandVotes, BuffersReusedAcrossReads) {
  // A large read, then a small one on the same object: nothing of the first
  // may leak into the second (slots, scratch, list).
  std::mt19937 rng(32);
  StrandVotes votes;
  const std::vector<Positions> big = random_buckets(rng, 12, 80, 7, 2000);
  std::vector<std::span<const std::int32_t>> spans(big.begin(), big.end());
  votes.collect({spans, 12, 80, 7, -1}, 3, Route::kSmallBuckets);
  const std::vector<Positions> small = {{20}, {27}, {34}};
  std::vector<std::span<const std::int32_t>> s2(small.begin(), small.end());
  votes.collect({s2, 3, 21, 7, -1}, 2, Route::kSmallBuckets);
  ASSERT_EQ(votes.list().size(), 1u);
  EXPECT_EQ(votes.list()[0].start, 20);
  EXPECT_EQ(votes.list()[0].hits, 3u);
  EXPECT_FALSE(votes.cleared(votes.list()[0].slot));
}

}  // namespace
}  // namespace quilm
