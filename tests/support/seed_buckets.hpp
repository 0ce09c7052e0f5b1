// The seed keys and buckets of a sequence, read window by window for the
// tests: what every seed index and every seed lookup must yield. Deliberately
// slow and plain, so that it shares no step with the worker's rolling keys.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

#include "common/seed_code.hpp"
#include "worker/seed_index.hpp"

namespace quilm::test {

// The key of the L bases from `from` (two bits a base, the first base
// highest), or -1 when one of them is not an upper-case A, C, G or T.
inline std::int64_t seed_key(std::string_view s, std::size_t from, int L) {
  std::int64_t k = 0;
  for (int j = 0; j < L; ++j) {
    const int c = base_code(s[from + j]);
    if (c < 0) return -1;
    k = k * 4 + c;
  }
  return k;
}

// Calls f(key, 1-based start) for every window of L valid bases, in
// ascending start.
template <class F>
void for_each_seed(std::string_view s, int L, F&& f) {
  for (std::size_t i = 0; i + L <= s.size(); ++i) {
    const std::int64_t k = seed_key(s, i, L);
    if (k >= 0) f(k, static_cast<std::int32_t>(i + 1));
  }
}

// Every key's bucket: the 1-based starts of its windows in ascending order,
// with the size of the largest.
struct SeedBuckets {
  std::vector<std::vector<std::int32_t>> of_key;
  std::int32_t max_bucket = 0;
};

inline SeedBuckets seed_buckets(std::string_view s, int L) {
  SeedBuckets b;
  b.of_key.resize(std::size_t{1} << (2 * L));
  for_each_seed(s, L, [&](std::int64_t k, std::int32_t pos) {
    auto& bucket = b.of_key[static_cast<std::size_t>(k)];
    bucket.push_back(pos);
    b.max_bucket = std::max(b.max_bucket, static_cast<std::int32_t>(bucket.size()));
  });
  return b;
}

inline SeedBuckets seed_buckets(const Segment& segment, int L) {
  return seed_buckets(std::string_view(segment.data(), segment.length), L);
}

}  // namespace quilm::test
