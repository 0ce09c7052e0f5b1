// A reference segment in memory and its seed indexes: for every seed key of
// length L (6..14), the ascending 1-based start positions of the key in the
// segment. Both workers (seed mapping and split-read mapping) use this unit.
//
// The full index addresses its buckets directly by key; the reduced one keeps
// buckets only for the keys present in the segment and reaches them through
// a presence byte per key and a rank per group of four keys. Both offer the
// same two calls, so the mapping code is written once for both:
//   translate(key) -> id, or -1 when the seed casts no vote
//   bucket(id)     -> the positions of that id
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quilm {

// Zero bytes kept behind the last base, so that windows reaching past the
// end of the segment read non-bases.
inline constexpr std::size_t kSegmentPad = 1000;

struct Segment {
  std::vector<char> bases;  // length() bases, then at least kSegmentPad zero bytes
  std::size_t length = 0;
  const char* data() const { return bases.data(); }
};

// Loads a segment file: header lines ('>' to the line end) and line breaks
// are dropped; masked_toggle 1 keeps lower case, 0 upper-cases bytes 91..127,
// any other value gives an empty segment. Throws IoError when unreadable.
Segment load_segment(const std::string& path, int masked_toggle);

// Seed lengths the indexes support.
bool seed_length_supported(int seed_length);

struct SeedIndex {
  int seed_length = 0;
  std::vector<std::int32_t> seed_counts;     // 4^L: occurrences of each key
  std::vector<std::uint32_t> bucket_starts;  // 4^L: offset of each key's bucket
  std::vector<std::int32_t> positions;       // all buckets, ascending key order
  std::int32_t max_bucket = 0;               // largest count of any key

  std::int64_t translate(std::int64_t key) const { return key; }
  std::span<const std::int32_t> bucket(std::int64_t key) const {
    return {positions.data() + bucket_starts[key], static_cast<std::size_t>(seed_counts[key])};
  }
  // Cache hints for a batch of lookups: what translate(key), then bucket(id)
  // will read. They change nothing.
  void prefetch_key(std::int64_t key) const {
    if (key >= 0) {
      __builtin_prefetch(seed_counts.data() + key);
      __builtin_prefetch(bucket_starts.data() + key);
    }
  }
  void prefetch_id(std::int64_t) const {}
};

struct ReducedSeedIndex {
  int seed_length = 0;
  std::vector<std::uint8_t> presence;              // 4^L: 1 when the key occurs
  std::vector<std::int32_t> rank;                  // 4^L/4 + 1: present keys in 0..4g, minus 1
  std::vector<std::uint32_t> dense_bucket_starts;  // K
  std::vector<std::int32_t> dense_counts;          // K
  std::vector<std::int32_t> positions;
  std::int32_t max_bucket = 0;

  // Dense index of a present key, -1 for an absent key or for -1.
  std::int64_t translate(std::int64_t key) const;
  // Buckets lie back to back in dense order, so a bucket ends where the next
  // one starts: one table line per lookup instead of two (dense_counts[dense]
  // equals the length computed here).
  std::span<const std::int32_t> bucket(std::int64_t dense) const {
    const auto d = static_cast<std::size_t>(dense);
    const std::size_t end =
        d + 1 < dense_bucket_starts.size() ? dense_bucket_starts[d + 1] : positions.size();
    return {positions.data() + dense_bucket_starts[d], end - dense_bucket_starts[d]};
  }
  void prefetch_key(std::int64_t key) const {
    if (key >= 0) {
      __builtin_prefetch(presence.data() + key);
      __builtin_prefetch(rank.data() + (key >> 2));
    }
  }
  void prefetch_id(std::int64_t dense) const {
    if (dense >= 0) __builtin_prefetch(dense_bucket_starts.data() + dense);
  }
};

SeedIndex build_seed_index(const Segment& segment, int seed_length);
ReducedSeedIndex build_reduced_seed_index(const Segment& segment, int seed_length);

// Largest entry of a count table (0 when empty or all non-positive).
std::int32_t maxvalue_x(std::span<const std::int32_t> counts);
// Sum of the positive entries of a count table.
std::int64_t sumvalue_x(std::span<const std::int32_t> counts);

// Seed keys of one read: ceil(n / L) seeds, seed i at i*L except the last,
// which ends with the read; -1 for a seed holding anything but A, C, G, T.
// A read shorter than L has no seed. Sets rem = n mod L; returns the count.
int transnum_x(std::string_view read, int seed_length, std::vector<std::int64_t>& keys, int& rem);

// Read position at which seed i of a read of n bases with `seeds` seeds
// begins: i*L, except the last seed, which begins at n - L.
inline int seed_read_position(int i, int seeds, int n, int seed_length) {
  return i == seeds - 1 ? n - seed_length : i * seed_length;
}

}  // namespace quilm
