// Seed keys of the reverse strand, and the index lookups of the seeds of a
// batch of reads. Both workers (seed mapping and split-read mapping) use
// these.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace quilm {

// Key of the reverse complement of a seed of L bases (L <= 32): its two-bit
// codes in reverse order, each complemented (A=0 <-> T=1, C=2 <-> G=3, that
// is code XOR 1). A key of -1 (a seed with a non-base) stays -1, because the
// reverse complement keeps every non-base.
inline std::int64_t reverse_complement_key(std::int64_t key, int seed_length) {
  if (key < 0) return -1;
  auto x = static_cast<std::uint64_t>(key);
  x = ((x >> 2) & 0x3333333333333333u) | ((x & 0x3333333333333333u) << 2);
  x = ((x >> 4) & 0x0F0F0F0F0F0F0F0Fu) | ((x & 0x0F0F0F0F0F0F0F0Fu) << 4);
  x = __builtin_bswap64(x) >> (64 - 2 * seed_length);
  return static_cast<std::int64_t>(x ^ (0x5555555555555555u >> (64 - 2 * seed_length)));
}

// Seed keys of `reverse`, the reverse complement of a read whose own keys are
// `forward`, exactly as transnum_x(reverse) gives them. When the read length
// is a multiple of L both seed grids meet, and the keys are the reverse
// complements of the forward keys in reverse order; otherwise they are
// computed from `reverse`.
void reverse_seed_keys(std::span<const std::int64_t> forward, std::string_view reverse,
                       int seed_length, std::vector<std::int64_t>& out);

// Bit j set when seed j (of the first 64) has a key: a seed with a
// non-base casts no vote and may match the reference byte for byte.
inline std::uint64_t voting_seeds(std::span<const std::int64_t> keys) {
  std::uint64_t voting = 0;
  for (std::size_t j = 0; j < keys.size() && j < 64; ++j)
    if (keys[j] >= 0) voting |= std::uint64_t{1} << j;
  return voting;
}

// Reads per batch of lookups: enough misses in flight to hide the memory
// latency, few enough that the prefetched lines stay in the cache until used.
inline constexpr std::size_t kLookupBatchReads = 32;

// The index lookups of the seeds of a batch of reads (one or two strands per
// read), made stage by stage over the whole batch so that their cache misses
// overlap instead of following one another: every key's table entries are
// prefetched, then all keys are translated (prefetching what their buckets
// need), then every bucket is located and its first positions prefetched.
class SeedLookups {
 public:
  using Bucket = std::span<const std::int32_t>;

  void clear() {
    ids_.clear();
    from_.assign(1, 0);
  }
  // Queues the seed keys of one strand; returns its number.
  std::size_t add(std::span<const std::int64_t> keys) {
    ids_.insert(ids_.end(), keys.begin(), keys.end());
    from_.push_back(ids_.size());
    return from_.size() - 2;
  }
  template <class Index>
  void look_up(const Index& index);
  // The buckets of the seeds of strand s, in seed order; empty for a seed
  // that casts no vote.
  std::span<const Bucket> buckets(std::size_t s) const {
    return std::span<const Bucket>(buckets_).subspan(from_[s], from_[s + 1] - from_[s]);
  }

 private:
  std::vector<std::int64_t> ids_;  // keys until look_up translates them
  std::vector<Bucket> buckets_;
  std::vector<std::size_t> from_ = {0};  // strand s: ids from_[s] .. from_[s + 1]
};

template <class Index>
void SeedLookups::look_up(const Index& index) {
  for (const std::int64_t key : ids_) index.prefetch_key(key);
  for (std::int64_t& id : ids_) {
    id = index.translate(id);
    index.prefetch_id(id);
  }
  buckets_.resize(ids_.size());
  for (std::size_t i = 0; i < ids_.size(); ++i) {
    buckets_[i] = ids_[i] >= 0 ? index.bucket(ids_[i]) : Bucket{};
    if (!buckets_[i].empty()) __builtin_prefetch(buckets_[i].data());
  }
}

}  // namespace quilm
