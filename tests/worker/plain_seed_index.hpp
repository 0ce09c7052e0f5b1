// The plain meaning of a seed index for the tests: every window of L valid
// bases, walked once, lands in its key's bucket in ascending order.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "common/seed_code.hpp"
#include "worker/seed_index.hpp"

namespace quilm::test {

// Calls f(key, 1-based start) for every window of L valid bases.
template <class F>
void plain_seed_walk(const Segment& segment, int L, F&& f) {
  const std::uint64_t mask = (std::uint64_t{1} << (2 * L)) - 1;
  std::uint64_t k = 0;
  int run = 0;
  for (std::size_t j = 0; j < segment.length; ++j) {
    const int code = kBaseCode[static_cast<unsigned char>(segment.data()[j])];
    if (code < 0) {
      k = 0;
      run = 0;
      continue;
    }
    k = ((k << 2) | static_cast<std::uint64_t>(code)) & mask;
    if (++run >= L) f(static_cast<std::size_t>(k), static_cast<std::int32_t>(j) - L + 2);
  }
}

// Every key's bucket, from one plain walk: the 1-based starts in ascending
// order. What any index must yield for each key.
struct PlainBuckets {
  std::vector<std::vector<std::int32_t>> of_key;
  std::int32_t max_bucket = 0;
};

inline PlainBuckets plain_buckets(const Segment& segment, int L) {
  PlainBuckets b;
  b.of_key.resize(std::size_t{1} << (2 * L));
  plain_seed_walk(segment, L, [&](std::size_t k, std::int32_t pos) {
    b.of_key[k].push_back(pos);
    b.max_bucket =
        std::max<std::int32_t>(b.max_bucket, static_cast<std::int32_t>(b.of_key[k].size()));
  });
  return b;
}

}  // namespace quilm::test
