#include "worker/seed_index.hpp"

#include <sys/mman.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "common/errors.hpp"
#include "common/huge_pages.hpp"
#include "common/seed_code.hpp"

namespace quilm {

// ---------------------------------------------------------------------------
// Large tables, advised for huge pages before they are first written.

namespace {

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
  ZeroTable(ZeroTable&& other) noexcept
      : bytes_(other.bytes_), data_(std::exchange(other.data_, nullptr)) {}
  ZeroTable& operator=(ZeroTable&&) = delete;
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
  std::size_t got =
      size > 0 ? std::fread(seg.bases.data(), 1, static_cast<std::size_t>(size), file.get()) : 0;
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

bool seed_length_supported(int seed_length) {
  return seed_length >= 6 && seed_length <= 14;
}

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
// Seed walk and partitioning.
//
// A direct build touches the 4^L-entry tables at random once per seed, and at
// L = 14 nearly every such access misses the cache. Instead, the seeds are
// first grouped by the top bits of their key into parts, each covering a
// slice of consecutive keys; then the parts are taken in ascending key order
// and each is counted and counting-sorted on its own, touching only a
// cache-sized slice of every table. A part keeps its seeds in walk order
// (ascending position) and the sort is stable, so every bucket comes out
// exactly as a direct build writes it.

namespace {

// Calls on_seed(key, 1-based start) for every window of L valid bases, in
// ascending order of position.
template <class OnSeed>
void for_each_seed(const Segment& segment, int seed_length, OnSeed&& on_seed) {
  const std::uint32_t mask = (1u << (2 * seed_length)) - 1;
  const unsigned char* s = reinterpret_cast<const unsigned char*>(segment.data());
  const std::size_t n = segment.length;
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
    if (++run >= seed_length) on_seed(k, static_cast<std::int32_t>(j) - seed_length + 2);
  }
}

// Slices of 2^16 keys keep a part's per-key working set (a 4-byte cursor per
// key) within the second-level cache and let a key's low bits fit 16 bits;
// every seed length gets at least four parts, so that part boundaries are
// exercised at every length.
constexpr int kSliceBits = 16;
constexpr int kMinPartBits = 2;

// The seeds grouped by part. A part's positions go straight to the final
// positions table, into the range that the part's buckets will occupy, in
// walk order; low_keys holds the matching key bits below the part's.
struct SeedParts {
  int slice_bits = 0;
  std::vector<std::size_t> start;  // parts + 1 offsets into positions
  ZeroTable<std::uint16_t> low_keys;

  std::size_t parts() const { return start.size() - 1; }
  std::size_t total() const { return start.back(); }
  std::size_t slice_keys() const { return std::size_t{1} << slice_bits; }
};

// First walk: the size of every part.
SeedParts size_parts(const Segment& segment, int seed_length) {
  const int slice_bits = std::min(kSliceBits, 2 * seed_length - kMinPartBits);
  std::vector<std::size_t> start((std::size_t{1} << (2 * seed_length - slice_bits)) + 1, 0);
  for_each_seed(segment, seed_length,
                [&](std::uint32_t k, std::int32_t) { ++start[(k >> slice_bits) + 1]; });
  for (std::size_t p = 1; p < start.size(); ++p) start[p] += start[p - 1];
  const std::size_t total = start.back();
  return SeedParts{slice_bits, std::move(start), ZeroTable<std::uint16_t>(total)};
}

// Second walk: every seed to the next free entry of its part.
void scatter_seeds(const Segment& segment, int seed_length, SeedParts& parts,
                   std::int32_t* positions) {
  std::vector<std::size_t> cursor(parts.start.begin(), parts.start.end() - 1);
  std::uint16_t* low = parts.low_keys.get();
  const int shift = parts.slice_bits;
  const std::uint32_t mask = static_cast<std::uint32_t>(parts.slice_keys() - 1);
  for_each_seed(segment, seed_length, [&](std::uint32_t k, std::int32_t pos) {
    const std::size_t at = cursor[k >> shift]++;
    positions[at] = pos;
    low[at] = static_cast<std::uint16_t>(k & mask);
  });
}

// Per-key counts of part p into slice.
void count_part(const SeedParts& parts, std::size_t p, std::vector<std::uint32_t>& slice) {
  std::fill(slice.begin(), slice.end(), 0u);
  const std::uint16_t* low = parts.low_keys.get();
  for (std::size_t i = parts.start[p]; i < parts.start[p + 1]; ++i) ++slice[low[i]];
}

// Stable counting sort of part p's positions by key; cursor holds each key's
// bucket offset within the part.
void sort_part(const SeedParts& parts, std::size_t p, std::vector<std::uint32_t>& cursor,
               std::vector<std::int32_t>& scratch, std::int32_t* positions) {
  const std::size_t from = parts.start[p];
  std::int32_t* part = positions + from;
  scratch.assign(part, positions + parts.start[p + 1]);
  const std::uint16_t* low = parts.low_keys.get() + from;
  for (std::size_t i = 0; i < scratch.size(); ++i) part[cursor[low[i]]++] = scratch[i];
}

void check_seed_length(int seed_length) {
  if (!seed_length_supported(seed_length))
    throw UsageError("seed length " + std::to_string(seed_length) + " is not between 6 and 14");
}

// Room for n elements, advised for huge pages; pages are touched only as
// elements are appended.
template <class V>
void reserve_large(V& v, std::size_t n) {
  V fresh;
  fresh.reserve(std::max<std::size_t>(n, 1));
  advise_huge(fresh.data(), n * sizeof(typename V::value_type));
  v.swap(fresh);
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

  SeedParts parts = size_parts(segment, seed_length);
  assign_large(index.positions, parts.total());
  scatter_seeds(segment, seed_length, parts, index.positions.data());
  std::vector<std::uint32_t> slice(parts.slice_keys());
  std::vector<std::int32_t> scratch;
  for (std::size_t p = 0; p < parts.parts(); ++p) {
    count_part(parts, p, slice);
    std::int32_t* counts = index.seed_counts.data() + p * slice.size();
    std::uint32_t* starts = index.bucket_starts.data() + p * slice.size();
    std::uint32_t offset = 0;
    for (std::size_t j = 0; j < slice.size(); ++j) {
      const std::uint32_t c = slice[j];
      if (c == 0) continue;
      counts[j] = static_cast<std::int32_t>(c);
      starts[j] = static_cast<std::uint32_t>(parts.start[p]) + offset;
      slice[j] = offset;
      offset += c;
      index.max_bucket = std::max(index.max_bucket, counts[j]);
    }
    sort_part(parts, p, slice, scratch, index.positions.data());
  }
  return index;
}

// ---------------------------------------------------------------------------
// Reduced index

std::int64_t ReducedSeedIndex::translate(std::int64_t key) const {
  if (key < 0 || presence[static_cast<std::size_t>(key)] != 1) return -1;
  const std::size_t g = static_cast<std::size_t>(key) >> 2;
  std::int64_t dense = rank[g];
  for (std::size_t m = 4 * g + 1; m <= static_cast<std::size_t>(key); ++m)
    dense += presence[m] != 0;
  return dense;
}

namespace {

// One part's dense entries, staged in cache and then appended in one copy.
struct DenseStage {
  std::vector<std::uint32_t> starts;
  std::vector<std::int32_t> counts;
  std::size_t size = 0;
};

// Turns the counts of a part's slice into bucket cursors and writes the
// part's presence bytes, rank entries and dense entries. first_dense is the
// number of present keys below the part; first_offset its first position.
// Branch-free, because about one key in four is present, in no pattern.
void scan_reduced_slice(std::vector<std::uint32_t>& slice, std::uint32_t first_offset,
                        std::int64_t first_dense, std::uint8_t* pres, std::int32_t* rank,
                        DenseStage& stage, std::uint32_t& max_count) {
  std::size_t n = 0;
  std::uint32_t offset = 0;
  for (std::size_t g = 0; g < slice.size() / 4; ++g) {
    for (std::size_t j = 4 * g; j < 4 * g + 4; ++j) {
      const std::uint32_t c = slice[j];
      const std::uint32_t present = c != 0;
      if (j == 4 * g) rank[g] = static_cast<std::int32_t>(first_dense + n + present - 1);
      pres[j] = static_cast<std::uint8_t>(present);
      stage.starts[n] = first_offset + offset;
      stage.counts[n] = static_cast<std::int32_t>(c);
      n += present;
      slice[j] = offset;
      offset += c;
      max_count = std::max(max_count, c);
    }
  }
  stage.size = n;
}

// Presence bytes, rank, dense tables and sorted positions, part by part. The
// dense tables are reserved for the worst case (every seed a different key),
// of which only the used part is touched.
void fill_reduced_parts(const SeedParts& parts, ReducedSeedIndex& index) {
  reserve_large(index.dense_bucket_starts, parts.total());
  reserve_large(index.dense_counts, parts.total());
  std::vector<std::uint32_t> slice(parts.slice_keys());
  DenseStage stage{std::vector<std::uint32_t>(slice.size()),
                   std::vector<std::int32_t>(slice.size())};
  std::vector<std::int32_t> scratch;
  std::uint32_t max_count = 0;
  for (std::size_t p = 0; p < parts.parts(); ++p) {
    count_part(parts, p, slice);
    const std::size_t first_key = p * slice.size();
    const auto first_dense = static_cast<std::int64_t>(index.dense_counts.size());
    scan_reduced_slice(slice, static_cast<std::uint32_t>(parts.start[p]), first_dense,
                       index.presence.data() + first_key, index.rank.data() + first_key / 4, stage,
                       max_count);
    index.dense_bucket_starts.insert(index.dense_bucket_starts.end(), stage.starts.begin(),
                                     stage.starts.begin() + stage.size);
    index.dense_counts.insert(index.dense_counts.end(), stage.counts.begin(),
                              stage.counts.begin() + stage.size);
    sort_part(parts, p, slice, scratch, index.positions.data());
  }
  index.rank.back() = static_cast<std::int32_t>(index.dense_counts.size()) - 1;
  index.max_bucket = static_cast<std::int32_t>(max_count);
}

}  // namespace

ReducedSeedIndex build_reduced_seed_index(const Segment& segment, int seed_length) {
  check_seed_length(seed_length);
  const std::size_t keys = std::size_t{1} << (2 * seed_length);
  ReducedSeedIndex index;
  index.seed_length = seed_length;
  {
    SeedParts parts = size_parts(segment, seed_length);
    assign_large(index.positions, parts.total());
    scatter_seeds(segment, seed_length, parts, index.positions.data());
    assign_large(index.presence, keys);
    assign_large(index.rank, keys / 4 + 1);
    fill_reduced_parts(parts, index);
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
