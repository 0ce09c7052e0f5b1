// A reference segment in memory and its seed indexes: for every seed key of
// length L (6..14), the ascending 1-based start positions of the key in the
// segment. Both workers (seed mapping and split-read mapping) use this unit.
//
// An index is one flat image: a header page, then page-aligned tables of
// fixed-width entries. The same bytes serve a freshly built index in memory
// and a stored one mapped read-only from a file (index_image.hpp), so nothing
// is parsed or copied when a stored index is used.
//
// The full index addresses its buckets directly: one monotone start table of
// 4^L + 1 entries, bucket k from starts[k] to starts[k + 1]. The reduced one
// keeps starts only for the keys present in the segment and reaches them
// through key lines: 384 keys per 64-byte line, six presence words, the
// number of present keys before the line and before each word, so that a
// lookup reads one line. Both offer the same calls, so the mapping code is
// written once for both:
//   translate(key) -> id, or -1 when the seed casts no vote
//   bucket(id)     -> the positions of that id
#pragma once

#include <bit>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/file_stamp.hpp"
#include "common/numbered_reads.hpp"

namespace quilm {

// Zero bytes kept behind the last base, so that windows reaching past the
// end of the segment read non-bases.
inline constexpr std::size_t kSegmentPad = 1000;

// A mapped region (anonymous memory or a file), unmapped on destruction.
class IndexMemory {
 public:
  IndexMemory() = default;
  IndexMemory(void* data, std::size_t bytes, bool reusable = false)
      : data_(data), bytes_(bytes), mapped_(bytes), reusable_(reusable) {}
  ~IndexMemory();
  IndexMemory(IndexMemory&& other) noexcept;
  IndexMemory& operator=(IndexMemory&& other) noexcept;
  IndexMemory(const IndexMemory&) = delete;
  IndexMemory& operator=(const IndexMemory&) = delete;

  // Fresh zero-filled anonymous memory, advised for huge pages.
  static IndexMemory anonymous(std::size_t bytes);

  std::uint8_t* data() const { return static_cast<std::uint8_t*>(data_); }
  // The bytes in use, at most the capacity (the bytes mapped).
  std::size_t size() const { return bytes_; }
  std::size_t capacity() const { return mapped_; }
  // Private anonymous memory, which may be written again for another use.
  bool reusable() const { return reusable_; }
  void use_first(std::size_t bytes) { bytes_ = bytes < mapped_ ? bytes : mapped_; }

 private:
  void* data_ = nullptr;
  std::size_t bytes_ = 0;
  std::size_t mapped_ = 0;
  bool reusable_ = false;
};

// Reads exactly `bytes` from `fd` into `data`, in calls of at most 1 GiB;
// false at an error (errno set) or when the file ends first (errno 0).
bool read_fully(int fd, std::uint8_t* data, std::size_t bytes);

// Anonymous memory kept by a worker process from one segment job to the
// next, for the bytes of a segment or the copy of a stored index. Fresh
// pages are zeroed and faulted in one by one when first touched, and a file
// mapped from the page cache is faulted in page by page in every job; pages
// written again cost only the copy.
class ReusableMemory {
 public:
  // At least `bytes` of memory, its first `bytes` in use, holding whatever
  // it held before (zeros when fresh).
  IndexMemory take(std::size_t bytes);
  // Keeps `memory` for the next take when it is reusable and larger than
  // what is kept; frees the smaller one.
  void give_back(IndexMemory memory);
  // Frees what is kept.
  void release() { kept_ = IndexMemory(); }

 private:
  IndexMemory kept_;
};

// What a worker process reuses across its jobs.
struct JobMemory {
  ReusableMemory bases;  // a segment's bases
  ReusableMemory index;  // a copy of a stored index image
  // Stored indexes are copied (see index_copy); set for a process with
  // enough segments of its own to pay for the first, fresh copy.
  bool copy_indexes = false;
};

struct Segment {
  IndexMemory memory;  // length bases, then at least kSegmentPad zero bytes
  std::size_t length = 0;
  // The stamp of the segment file as read; none when the file changed while
  // it was read (or the segment was not read from a file).
  std::optional<FileStamp> source;
  const char* data() const { return reinterpret_cast<const char*>(memory.data()); }
};

// Loads a segment file: header lines ('>' to the line end) and line breaks
// are dropped; masked_toggle 1 keeps lower case, 0 upper-cases bytes 91..127,
// any other value gives an empty segment. Throws IoError when unreadable.
// Records the file's stamp when it stayed the same during the read. The
// bytes go into memory taken from `reuse` when given.
Segment load_segment(const std::string& path, int masked_toggle, ReusableMemory* reuse = nullptr);

inline constexpr int kKeysPerWord = 64;
inline constexpr int kWordsPerLine = 6;
inline constexpr int kKeysPerLine = kKeysPerWord * kWordsPerLine;

// Presence of 384 consecutive keys and the number of present keys before
// each of its words, in one cache line.
struct alignas(64) KeyLine {
  std::uint64_t words[kWordsPerLine];
  std::uint32_t base;                   // present keys before the line
  std::uint16_t within[kWordsPerLine];  // present keys in the line before word w
};
static_assert(sizeof(KeyLine) == 64);

inline std::size_t key_line_count(int seed_length) {
  const std::size_t keys = std::size_t{1} << (2 * seed_length);
  return (keys + kKeysPerLine - 1) / kKeysPerLine;
}

struct SeedIndex {
  IndexMemory memory;  // owns the tables
  int seed_length = 0;
  std::int32_t max_bucket = 0;            // largest count of any key
  const std::uint32_t* starts = nullptr;  // 4^L + 1, monotone
  const std::int32_t* positions = nullptr;
  std::size_t position_count = 0;

  std::int64_t translate(std::int64_t key) const { return key; }
  std::span<const std::int32_t> bucket(std::int64_t key) const {
    const auto k = static_cast<std::size_t>(key);
    return {positions + starts[k], starts[k + 1] - starts[k]};
  }
  // Cache hints for a batch of lookups: what translate(key), then bucket(id)
  // will read. They change nothing.
  void prefetch_key(std::int64_t key) const {
    if (key >= 0) __builtin_prefetch(starts + key);
  }
  void prefetch_id(std::int64_t) const {}
};

struct ReducedSeedIndex {
  IndexMemory memory;
  int seed_length = 0;
  std::int32_t max_bucket = 0;
  const KeyLine* lines = nullptr;
  const std::uint32_t* dense_starts = nullptr;  // K + 1, monotone
  std::size_t key_count = 0;                    // K: keys present in the segment
  const std::int32_t* positions = nullptr;
  std::size_t position_count = 0;

  // Dense index of a present key (the number of present keys below it), -1
  // for an absent key or for -1.
  std::int64_t translate(std::int64_t key) const {
    if (key < 0) return -1;
    const auto k = static_cast<std::uint64_t>(key);
    const KeyLine& line = lines[k / kKeysPerLine];
    const unsigned bit = static_cast<unsigned>(k % kKeysPerLine);
    const std::uint64_t word = line.words[bit / kKeysPerWord];
    const unsigned b = bit % kKeysPerWord;
    if (((word >> b) & 1) == 0) return -1;
    return std::int64_t{line.base} + line.within[bit / kKeysPerWord] +
           std::popcount(word & ((std::uint64_t{1} << b) - 1));
  }
  std::span<const std::int32_t> bucket(std::int64_t dense) const {
    const auto d = static_cast<std::size_t>(dense);
    return {positions + dense_starts[d], dense_starts[d + 1] - dense_starts[d]};
  }
  void prefetch_key(std::int64_t key) const {
    if (key >= 0) __builtin_prefetch(lines + static_cast<std::uint64_t>(key) / kKeysPerLine);
  }
  void prefetch_id(std::int64_t dense) const {
    if (dense >= 0) __builtin_prefetch(dense_starts + dense);
  }
};

// Where a job copies a stored index: into the process's reused memory when
// it maps the segment alone and copies indexes at all; a segment whose
// reads several processes share is mapped, so that its pages are shared.
inline ReusableMemory* index_copy(JobMemory* memory, const ReadSlice& slice) {
  return memory && memory->copy_indexes && slice.count == 1 ? &memory->index : nullptr;
}

// The memory of a finished job, kept for the next one (its index only when
// it was copied there).
inline void give_back(JobMemory* memory, const ReadSlice& slice, Segment segment,
                      IndexMemory index) {
  if (!memory) return;
  memory->bases.give_back(std::move(segment.memory));
  if (ReusableMemory* copy = index_copy(memory, slice)) copy->give_back(std::move(index));
}

SeedIndex build_seed_index(const Segment& segment, int seed_length);
ReducedSeedIndex build_reduced_seed_index(const Segment& segment, int seed_length);

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
