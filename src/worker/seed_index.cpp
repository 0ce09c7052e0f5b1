#include "worker/seed_index.hpp"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include <sys/mman.h>

#include "common/errors.hpp"
#include "common/seed_code.hpp"

namespace quilm {

// ---------------------------------------------------------------------------
// Large tables. Touching fresh memory page by page is slow (a page fault per
// 4 KiB), so large tables ask for transparent huge pages before they are
// first written.

namespace {

constexpr std::size_t kHugeThreshold = std::size_t{8} << 20;

void advise_huge(void* data, std::size_t bytes) {
#ifdef MADV_HUGEPAGE
  if (bytes < kHugeThreshold) return;
  const std::uintptr_t page = 4096;
  std::uintptr_t from = (reinterpret_cast<std::uintptr_t>(data) + page - 1) & ~(page - 1);
  std::uintptr_t to = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(page - 1);
  if (to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
#else
  (void)data;
  (void)bytes;
#endif
}

// v becomes n copies of value, in fresh memory advised for huge pages.
template <class V>
void assign_large(V& v, std::size_t n, typename V::value_type value = {}) {
  V fresh;
  fresh.reserve(n);
  advise_huge(fresh.data(), n * sizeof(typename V::value_type));
  fresh.resize(n, value);
  v.swap(fresh);
}

// A zeroed table of plain values from anonymous memory (zero pages, touched
// lazily), advised for huge pages.
template <class T>
class ZeroTable {
 public:
  explicit ZeroTable(std::size_t entries) : bytes_(std::max<std::size_t>(entries, 1) * sizeof(T)) {
    void* p = mmap(nullptr, bytes_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
    advise_huge(p, bytes_);
    data_ = static_cast<T*>(p);
  }
  ~ZeroTable() { reset(); }
  ZeroTable(const ZeroTable&) = delete;
  ZeroTable& operator=(const ZeroTable&) = delete;
  T* get() const { return data_; }
  void reset() {
    if (data_) munmap(data_, bytes_);
    data_ = nullptr;
  }

 private:
  std::size_t bytes_;
  T* data_ = nullptr;
};

}  // namespace

// ---------------------------------------------------------------------------
// Segment loading

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const {
    if (f) std::fclose(f);
  }
};

}  // namespace

Segment load_segment(const std::string& path, int masked_toggle) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) throw_io_error("cannot open segment file", path);
  if (std::fseek(file.get(), 0, SEEK_END) != 0) throw_io_error("cannot seek in segment file", path);
  long size = std::ftell(file.get());
  if (size < 0) throw_io_error("cannot size segment file", path);
  if (std::fseek(file.get(), 0, SEEK_SET) != 0) throw_io_error("cannot seek in segment file", path);

  Segment seg;
  assign_large(seg.bases, static_cast<std::size_t>(size) + kSegmentPad);
  std::size_t got = size > 0 ? std::fread(seg.bases.data(), 1, static_cast<std::size_t>(size), file.get()) : 0;
  if (got != static_cast<std::size_t>(size) || std::ferror(file.get()))
    throw_io_error("cannot read segment file", path);

  if (masked_toggle != 0 && masked_toggle != 1) {
    std::fill(seg.bases.begin(), seg.bases.end(), 0);
    seg.length = 0;
    return seg;
  }

  // Compaction in place: headers and line breaks are dropped; with
  // masked_toggle 0 the bytes 91..127 are upper-cased.
  static constexpr std::array<char, 256> kUpper = [] {
    std::array<char, 256> t{};
    for (int i = 0; i < 256; ++i) t[i] = static_cast<char>(i);
    for (int i = 'a'; i <= 'z'; ++i) t[i] = static_cast<char>(i - 'a' + 'A');
    return t;
  }();
  char* buf = seg.bases.data();
  const std::size_t n = got;
  std::size_t out = 0;
  std::size_t i = 0;
  while (i < n) {
    const char c = buf[i];
    if (c == '>') {
      const void* nl = std::memchr(buf + i, '\n', n - i);
      i = nl ? static_cast<std::size_t>(static_cast<const char*>(nl) - buf) + 1 : n;
      continue;
    }
    ++i;
    if (c == '\n' || c == '\r') continue;
    buf[out++] = masked_toggle == 0 ? kUpper[static_cast<unsigned char>(c)] : c;
  }
  std::memset(buf + out, 0, seg.bases.size() - out);
  seg.length = out;
  return seg;
}

bool seed_length_supported(int seed_length) { return seed_length >= 6 && seed_length <= 14; }

// ---------------------------------------------------------------------------
// Count tables

std::int32_t maxvalue_x(std::span<const std::int32_t> counts) {
  std::int32_t best = 0;
  for (std::int32_t c : counts) best = std::max(best, c);
  return best;
}

std::int64_t sumvalue_x(std::span<const std::int32_t> counts) {
  std::int64_t sum = 0;
  for (std::int32_t c : counts)
    if (c > 0) sum += c;
  return sum;
}

// ---------------------------------------------------------------------------
// Seed walk: every window of L valid bases, in ascending order, delivered in
// batches so that the table accesses of a batch can be prefetched together.

namespace {

constexpr int kBatch = 64;

struct SeedBatch {
  std::array<std::uint32_t, kBatch> key;
  std::array<std::int32_t, kBatch> pos;  // 1-based start of the seed
  int size = 0;
};

// Calls flush(batch) for every full batch and once more for the rest.
template <class Flush>
void walk_seeds(const Segment& segment, int seed_length, Flush&& flush) {
  const std::uint32_t mask = (seed_length >= 16) ? 0xffffffffu : ((1u << (2 * seed_length)) - 1);
  const unsigned char* s = reinterpret_cast<const unsigned char*>(segment.data());
  const std::size_t n = segment.length;
  SeedBatch batch;
  std::uint32_t k = 0;
  int run = 0;
  for (std::size_t j = 0; j < n; ++j) {
    const int code = kBaseCode[s[j]];
    if (code < 0) {
      k = 0;
      run = 0;
      continue;
    }
    k = ((k << 2) | static_cast<std::uint32_t>(code)) & mask;
    if (++run >= seed_length) {
      batch.key[batch.size] = k;
      batch.pos[batch.size] = static_cast<std::int32_t>(j) - seed_length + 2;
      if (++batch.size == kBatch) {
        flush(batch);
        batch.size = 0;
      }
    }
  }
  if (batch.size > 0) flush(batch);
}

inline void prefetch_write(const void* p) { __builtin_prefetch(p, 1, 3); }
inline void prefetch_read(const void* p) { __builtin_prefetch(p, 0, 3); }

// Counting pass into a table of 4^L counts.
void count_seeds(const Segment& segment, int seed_length, std::int32_t* counts) {
  walk_seeds(segment, seed_length, [&](const SeedBatch& b) {
    for (int i = 0; i < b.size; ++i) prefetch_write(counts + b.key[i]);
    for (int i = 0; i < b.size; ++i) ++counts[b.key[i]];
  });
}

void check_seed_length(int seed_length) {
  if (!seed_length_supported(seed_length))
    throw UsageError("seed length " + std::to_string(seed_length) + " is not between 6 and 14");
}

}  // namespace

// ---------------------------------------------------------------------------
// Full index

SeedIndex build_seed_index(const Segment& segment, int seed_length) {
  check_seed_length(seed_length);
  const std::size_t keys = std::size_t{1} << (2 * seed_length);
  SeedIndex index;
  index.seed_length = seed_length;
  assign_large(index.seed_counts, keys);
  assign_large(index.bucket_starts, keys);
  std::int32_t* counts = index.seed_counts.data();
  count_seeds(segment, seed_length, counts);

  index.max_bucket = maxvalue_x(index.seed_counts);
  const std::int64_t total = sumvalue_x(index.seed_counts);
  assign_large(index.positions, static_cast<std::size_t>(total));
  std::uint32_t offset = 0;
  std::uint32_t* starts = index.bucket_starts.data();
  for (std::size_t key = 0; key < keys; ++key) {
    const std::int32_t c = counts[key];
    if (c > 0) {
      starts[key] = offset;
      counts[key] = 0;
      offset += static_cast<std::uint32_t>(c);
    }
  }

  std::int32_t* positions = index.positions.data();
  walk_seeds(segment, seed_length, [&](const SeedBatch& b) {
    for (int i = 0; i < b.size; ++i) {
      prefetch_write(counts + b.key[i]);
      prefetch_read(starts + b.key[i]);
    }
    std::array<std::uint32_t, kBatch> slot;
    for (int i = 0; i < b.size; ++i) {
      const std::uint32_t k = b.key[i];
      slot[i] = starts[k] + static_cast<std::uint32_t>(counts[k]++);
      prefetch_write(positions + slot[i]);
    }
    for (int i = 0; i < b.size; ++i) positions[slot[i]] = b.pos[i];
  });
  return index;
}

// ---------------------------------------------------------------------------
// Reduced index

std::int64_t ReducedSeedIndex::translate(std::int64_t key) const {
  if (key < 0 || presence[static_cast<std::size_t>(key)] != 1) return -1;
  const std::size_t g = static_cast<std::size_t>(key) >> 2;
  std::int64_t dense = rank[g];
  for (std::size_t m = 4 * g + 1; m <= static_cast<std::size_t>(key); ++m) dense += presence[m] != 0;
  return dense;
}

ReducedSeedIndex build_reduced_seed_index(const Segment& segment, int seed_length) {
  check_seed_length(seed_length);
  const std::size_t keys = std::size_t{1} << (2 * seed_length);
  ReducedSeedIndex index;
  index.seed_length = seed_length;

  // 1. Temporary per-key counts.
  ZeroTable<std::int32_t> counts_owner(keys);
  std::int32_t* counts = counts_owner.get();
  count_seeds(segment, seed_length, counts);

  // 2. K, max_bucket (maxvalue_x_red), total.
  std::size_t present = 0;
  std::int32_t max_bucket = 0;
  std::int64_t total = 0;
  for (std::size_t key = 0; key < keys; ++key) {
    const std::int32_t c = counts[key];
    if (c > 0) {
      ++present;
      max_bucket = std::max(max_bucket, c);
      total += c;
    }
  }
  index.max_bucket = max_bucket;
  assign_large(index.positions, static_cast<std::size_t>(total));

  // 3. Presence bytes and dense bucket starts.
  assign_large(index.presence, keys);
  assign_large(index.dense_bucket_starts, present);
  {
    std::uint8_t* pres = index.presence.data();
    std::uint32_t* dbs = index.dense_bucket_starts.data();
    std::uint32_t offset = 0;
    std::size_t dense = 0;
    for (std::size_t key = 0; key < keys; ++key) {
      const std::int32_t c = counts[key];
      if (c > 0) {
        pres[key] = 1;
        dbs[dense++] = offset;
        offset += static_cast<std::uint32_t>(c);
      }
    }
  }

  // 4. The count table goes before the rank table comes.
  counts_owner.reset();
  assign_large(index.dense_counts, present);

  // 5. Rank per group of four keys.
  assign_large(index.rank, keys / 4 + 1);
  {
    const std::uint8_t* pres = index.presence.data();
    std::int32_t* rank = index.rank.data();
    std::int32_t c = -1;
    for (std::size_t g = 0; g < keys / 4; ++g) {
      const std::uint8_t* p = pres + 4 * g;
      c += p[0];
      rank[g] = c;
      c += p[1] + p[2] + p[3];
    }
    rank[keys / 4] = c;
  }

  // 6. Filling pass: translate, then place each position at its bucket's
  // cursor; three stages per batch so that the misses of a batch overlap.
  {
    const std::uint8_t* pres = index.presence.data();
    const std::int32_t* rank = index.rank.data();
    const std::uint32_t* dbs = index.dense_bucket_starts.data();
    std::int32_t* dc = index.dense_counts.data();
    std::int32_t* positions = index.positions.data();
    walk_seeds(segment, seed_length, [&](const SeedBatch& b) {
      for (int i = 0; i < b.size; ++i) {
        prefetch_read(pres + b.key[i]);
        prefetch_read(rank + (b.key[i] >> 2));
      }
      std::array<std::uint32_t, kBatch> dense;
      for (int i = 0; i < b.size; ++i) {
        const std::uint32_t k = b.key[i];
        const std::uint32_t g = k >> 2;
        std::int32_t d = rank[g];
        for (std::uint32_t m = 4 * g + 1; m <= k; ++m) d += pres[m] != 0;
        dense[i] = static_cast<std::uint32_t>(d);
        prefetch_read(dbs + d);
        prefetch_write(dc + d);
      }
      std::array<std::uint32_t, kBatch> slot;
      for (int i = 0; i < b.size; ++i) {
        const std::uint32_t d = dense[i];
        slot[i] = dbs[d] + static_cast<std::uint32_t>(dc[d]++);
        prefetch_write(positions + slot[i]);
      }
      for (int i = 0; i < b.size; ++i) positions[slot[i]] = b.pos[i];
    });
  }
  return index;
}

// ---------------------------------------------------------------------------
// Read seeds

int transnum_x(std::string_view read, int seed_length, std::vector<std::int64_t>& keys, int& rem) {
  const int n = static_cast<int>(read.size());
  const int L = seed_length;
  rem = L > 0 ? n % L : 0;
  if (L <= 0 || n < L) {
    keys.clear();
    return 0;
  }
  const int seeds = (n + L - 1) / L;
  keys.resize(static_cast<std::size_t>(seeds));
  const unsigned char* s = reinterpret_cast<const unsigned char*>(read.data());
  for (int i = 0; i < seeds; ++i) {
    const int from = (i == seeds - 1) ? n - L : i * L;
    std::int64_t k = 0;
    for (int j = 0; j < L; ++j) {
      const int code = kBaseCode[s[from + j]];
      if (code < 0) {
        k = -1;
        break;
      }
      k = (k << 2) | code;
    }
    keys[static_cast<std::size_t>(i)] = k;
  }
  return seeds;
}

}  // namespace quilm
