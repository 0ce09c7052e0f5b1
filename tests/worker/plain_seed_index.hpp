// Plain builds of the seed indexes for the tests, written as directly as
// possible: a counting pass into a table of every key, bucket offsets in key
// order, then a filling pass that walks the segment again and appends each
// seed's position at its key's cursor. The optimised builds must produce
// exactly the same tables.
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

inline SeedIndex plain_seed_index(const Segment& segment, int L) {
  const std::size_t keys = std::size_t{1} << (2 * L);
  SeedIndex index;
  index.seed_length = L;
  index.seed_counts.assign(keys, 0);
  index.bucket_starts.assign(keys, 0);
  plain_seed_walk(segment, L, [&](std::size_t k, std::int32_t) { ++index.seed_counts[k]; });
  index.max_bucket = maxvalue_x(index.seed_counts);
  index.positions.assign(static_cast<std::size_t>(sumvalue_x(index.seed_counts)), 0);
  std::uint32_t offset = 0;
  for (std::size_t k = 0; k < keys; ++k) {
    if (index.seed_counts[k] <= 0) continue;
    index.bucket_starts[k] = offset;
    offset += static_cast<std::uint32_t>(index.seed_counts[k]);
    index.seed_counts[k] = 0;
  }
  plain_seed_walk(segment, L, [&](std::size_t k, std::int32_t pos) {
    index.positions[index.bucket_starts[k] + index.seed_counts[k]++] = pos;
  });
  return index;
}

inline ReducedSeedIndex plain_reduced_seed_index(const Segment& segment, int L) {
  const std::size_t keys = std::size_t{1} << (2 * L);
  ReducedSeedIndex index;
  index.seed_length = L;
  std::vector<std::int32_t> counts(keys, 0);
  plain_seed_walk(segment, L, [&](std::size_t k, std::int32_t) { ++counts[k]; });
  index.max_bucket = maxvalue_x(counts);
  index.positions.assign(static_cast<std::size_t>(sumvalue_x(counts)), 0);
  index.presence.assign(keys, 0);
  std::uint32_t offset = 0;
  for (std::size_t k = 0; k < keys; ++k) {
    if (counts[k] <= 0) continue;
    index.presence[k] = 1;
    index.dense_bucket_starts.push_back(offset);
    offset += static_cast<std::uint32_t>(counts[k]);
  }
  counts = {};
  index.dense_counts.assign(index.dense_bucket_starts.size(), 0);
  index.rank.assign(keys / 4 + 1, 0);
  std::int32_t c = -1;
  for (std::size_t k = 0; k < keys; ++k) {
    c += index.presence[k];
    if (k % 4 == 0) index.rank[k / 4] = c;
  }
  index.rank[keys / 4] = c;
  plain_seed_walk(segment, L, [&](std::size_t k, std::int32_t pos) {
    const auto d = static_cast<std::size_t>(index.translate(static_cast<std::int64_t>(k)));
    index.positions[index.dense_bucket_starts[d] + index.dense_counts[d]++] = pos;
  });
  return index;
}

}  // namespace quilm::test
