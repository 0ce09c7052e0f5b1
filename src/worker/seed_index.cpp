#include "worker/seed_index.hpp"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
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
#include "common/seed_lengths.hpp"
#include "worker/index_image.hpp"

namespace quilm {

IndexMemory::~IndexMemory() {
  if (data_) munmap(data_, mapped_);
}

IndexMemory::IndexMemory(IndexMemory&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      bytes_(std::exchange(other.bytes_, 0)),
      mapped_(std::exchange(other.mapped_, 0)),
      reusable_(std::exchange(other.reusable_, false)) {}

IndexMemory& IndexMemory::operator=(IndexMemory&& other) noexcept {
  if (this != &other) {
    if (data_) munmap(data_, mapped_);
    data_ = std::exchange(other.data_, nullptr);
    bytes_ = std::exchange(other.bytes_, 0);
    mapped_ = std::exchange(other.mapped_, 0);
    reusable_ = std::exchange(other.reusable_, false);
  }
  return *this;
}

IndexMemory IndexMemory::anonymous(std::size_t bytes) {
  const std::size_t size = std::max<std::size_t>(bytes, 1);
  void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) throw std::bad_alloc();
  advise_huge(p, size);
  return IndexMemory(p, size, true);
}

bool read_fully(int fd, std::uint8_t* data, std::size_t bytes) {
  errno = 0;
  while (bytes > 0) {
    const ssize_t n = ::read(fd, data, std::min(bytes, std::size_t{1} << 30));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    bytes -= static_cast<std::size_t>(n);
  }
  return true;
}

IndexMemory ReusableMemory::take(std::size_t bytes) {
  if (kept_.capacity() < bytes) {
    release();
    return IndexMemory::anonymous(bytes);
  }
  IndexMemory memory = std::move(kept_);
  memory.use_first(bytes);
  return memory;
}

void ReusableMemory::give_back(IndexMemory memory) {
  if (memory.reusable() && memory.capacity() > kept_.capacity()) kept_ = std::move(memory);
}

// ---------------------------------------------------------------------------
// Segment loading

namespace {

struct FileHandle {
  int fd;
  explicit FileHandle(int f) : fd(f) {}
  ~FileHandle() {
    if (fd >= 0) ::close(fd);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
};

// The segment file's bytes followed by at least kSegmentPad zero bytes, read
// in one go into anonymous memory. A private copy, not a mapping of the
// file, so that a file changed or cut short by someone else cannot change a
// running mapping.
IndexMemory read_segment_file(const std::string& path, std::size_t& size,
                              std::optional<FileStamp>& stamp, ReusableMemory* reuse) {
  FileHandle file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.fd < 0) throw_io_error("cannot open segment file", path);
  const std::optional<FileStamp> before = file_stamp(file.fd);
  if (!before) throw_io_error("cannot size segment file", path);
  size = static_cast<std::size_t>(before->size);
  IndexMemory region =
      reuse ? reuse->take(size + kSegmentPad) : IndexMemory::anonymous(size + kSegmentPad);
  // Reused memory holds an earlier segment's bytes behind this one's.
  if (reuse) std::memset(region.data() + size, 0, kSegmentPad);
  if (!read_fully(file.fd, region.data(), size)) {
    if (errno != 0) throw_io_error("cannot read segment file", path);
    throw IoError("cannot read segment file '" + path + "': it became shorter while it was read");
  }
  if (file_stamp(file.fd) == before) stamp = before;
  return region;
}

// Where the first header or line-break byte lies (n when none).
std::size_t first_special(const char* buf, std::size_t n) {
  std::size_t first = n;
  for (char c : {'>', '\n', '\r'})
    if (const void* at = std::memchr(buf, c, first))
      first = static_cast<std::size_t>(static_cast<const char*>(at) - buf);
  return first;
}

}  // namespace

Segment load_segment(const std::string& path, int masked_toggle, ReusableMemory* reuse) {
  std::size_t n = 0;
  Segment seg;
  seg.memory = read_segment_file(path, n, seg.source, reuse);
  if (masked_toggle != 0 && masked_toggle != 1) {
    seg.memory = IndexMemory::anonymous(n + kSegmentPad);
    seg.length = 0;
    return seg;
  }

  // Compaction in place: headers and line breaks are dropped; with
  // masked_toggle 0 the bytes 91..127 are upper-cased. Segment files
  // written by the driver hold no header or line break, so the scan for the
  // first one usually ends the work.
  static constexpr std::array<char, 256> kUpper = [] {
    std::array<char, 256> t{};
    for (int i = 0; i < 256; ++i) t[i] = static_cast<char>(i);
    for (int i = 'a'; i <= 'z'; ++i) t[i] = static_cast<char>(i - 'a' + 'A');
    return t;
  }();
  char* buf = reinterpret_cast<char*>(seg.memory.data());
  std::size_t out = first_special(buf, n);
  std::size_t i = out;
  if (masked_toggle == 0)
    for (std::size_t j = 0; j < out; ++j)
      if (const char u = kUpper[static_cast<unsigned char>(buf[j])]; u != buf[j]) buf[j] = u;
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
  if (out < n) std::memset(buf + out, 0, n - out);
  seg.length = out;
  return seg;
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
  IndexMemory low_keys;            // 16 low key bits per seed
  std::uint16_t* low() const { return reinterpret_cast<std::uint16_t*>(low_keys.data()); }

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
  return SeedParts{slice_bits, std::move(start), IndexMemory::anonymous(2 * total)};
}

// Second walk: every seed to the next free entry of its part.
void scatter_seeds(const Segment& segment, int seed_length, SeedParts& parts,
                   std::int32_t* positions) {
  std::vector<std::size_t> cursor(parts.start.begin(), parts.start.end() - 1);
  std::uint16_t* low = parts.low();
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
  const std::uint16_t* low = parts.low();
  for (std::size_t i = parts.start[p]; i < parts.start[p + 1]; ++i) ++slice[low[i]];
}

// Stable counting sort of part p's positions by key; cursor holds each key's
// bucket offset within the part.
void sort_part(const SeedParts& parts, std::size_t p, std::vector<std::uint32_t>& cursor,
               std::vector<std::int32_t>& scratch, std::int32_t* positions) {
  const std::size_t from = parts.start[p];
  std::int32_t* part = positions + from;
  scratch.assign(part, positions + parts.start[p + 1]);
  const std::uint16_t* low = parts.low() + from;
  for (std::size_t i = 0; i < scratch.size(); ++i) part[cursor[low[i]]++] = scratch[i];
}

}  // namespace

// ---------------------------------------------------------------------------
// Full index: one start per key, written slice by slice in key order.

SeedIndex build_seed_index(const Segment& segment, int seed_length) {
  require_indexable_seed(seed_length);
  SeedParts parts = size_parts(segment, seed_length);
  IndexMemory image = allocate_index_image(seed_length, IndexVariant::kFull, parts.total());
  IndexHeader& h = image_header(image.data());
  auto* starts = reinterpret_cast<std::uint32_t*>(image.data() + h.starts_offset);
  auto* positions = reinterpret_cast<std::int32_t*>(image.data() + h.positions_offset);
  scatter_seeds(segment, seed_length, parts, positions);
  std::vector<std::uint32_t> slice(parts.slice_keys());
  std::vector<std::int32_t> scratch;
  std::uint32_t max_count = 0;
  for (std::size_t p = 0; p < parts.parts(); ++p) {
    count_part(parts, p, slice);
    std::uint32_t* out = starts + p * slice.size();
    std::uint32_t offset = static_cast<std::uint32_t>(parts.start[p]);
    for (std::size_t j = 0; j < slice.size(); ++j) {
      const std::uint32_t c = slice[j];
      out[j] = offset;
      slice[j] = offset - static_cast<std::uint32_t>(parts.start[p]);
      offset += c;
      max_count = std::max(max_count, c);
    }
    sort_part(parts, p, slice, scratch, positions);
  }
  starts[h.start_count - 1] = static_cast<std::uint32_t>(parts.total());
  h.max_bucket = static_cast<std::int32_t>(max_count);
  return attach_seed_index(std::move(image));
}

// ---------------------------------------------------------------------------
// Reduced index: key lines and dense starts, streamed in key order.

namespace {

// Takes the presence words of consecutive keys, 64 at a time, and writes
// them as key lines with their running counts.
class KeyLineWriter {
 public:
  explicit KeyLineWriter(KeyLine* lines) : lines_(lines) {}
  void push(std::uint64_t word) {
    KeyLine& line = lines_[line_];
    if (word_ == 0) line.base = static_cast<std::uint32_t>(present_);
    line.within[word_] = static_cast<std::uint16_t>(present_ - line.base);
    line.words[word_] = word;
    present_ += static_cast<std::uint64_t>(std::popcount(word));
    if (++word_ == kWordsPerLine) {
      word_ = 0;
      ++line_;
    }
  }
  // Pads the last line with absent keys.
  void finish() {
    while (word_ != 0) push(0);
  }
  std::uint64_t present() const { return present_; }

 private:
  KeyLine* lines_;
  std::size_t line_ = 0;
  int word_ = 0;
  std::uint64_t present_ = 0;
};

// Turns the counts of a part's slice into bucket cursors, pushes its
// presence words and appends its dense starts. Branch-free, because about
// one key in four is present, in no pattern.
void scan_reduced_slice(std::vector<std::uint32_t>& slice, std::uint32_t first_offset,
                        KeyLineWriter& lines, std::uint32_t* dense, std::uint32_t& max_count) {
  std::size_t n = 0;
  std::uint32_t offset = 0;
  for (std::size_t w = 0; w < slice.size() / kKeysPerWord; ++w) {
    std::uint64_t word = 0;
    for (int b = 0; b < kKeysPerWord; ++b) {
      const std::size_t j = w * kKeysPerWord + static_cast<std::size_t>(b);
      const std::uint32_t c = slice[j];
      const std::uint64_t present = c != 0;
      word |= present << b;
      dense[n] = first_offset + offset;
      n += present;
      slice[j] = offset;
      offset += c;
      max_count = std::max(max_count, c);
    }
    lines.push(word);
  }
}

}  // namespace

ReducedSeedIndex build_reduced_seed_index(const Segment& segment, int seed_length) {
  require_indexable_seed(seed_length);
  SeedParts parts = size_parts(segment, seed_length);
  IndexMemory image = allocate_index_image(seed_length, IndexVariant::kReduced, parts.total());
  IndexHeader& h = image_header(image.data());
  auto* positions = reinterpret_cast<std::int32_t*>(image.data() + h.positions_offset);
  auto* dense = reinterpret_cast<std::uint32_t*>(image.data() + h.starts_offset);
  scatter_seeds(segment, seed_length, parts, positions);
  KeyLineWriter lines(reinterpret_cast<KeyLine*>(image.data() + h.lines_offset));
  // One spare entry per slice: the branch-free scan writes a start for every
  // key and advances only past present ones.
  std::vector<std::uint32_t> slice(parts.slice_keys());
  std::vector<std::uint32_t> stage(slice.size());
  std::vector<std::int32_t> scratch;
  std::uint32_t max_count = 0;
  for (std::size_t p = 0; p < parts.parts(); ++p) {
    count_part(parts, p, slice);
    const std::uint64_t before = lines.present();
    scan_reduced_slice(slice, static_cast<std::uint32_t>(parts.start[p]), lines, stage.data(),
                       max_count);
    std::copy(stage.begin(), stage.begin() + static_cast<std::ptrdiff_t>(lines.present() - before),
              dense + before);
    sort_part(parts, p, slice, scratch, positions);
  }
  lines.finish();
  const std::uint64_t keys = lines.present();
  dense[keys] = static_cast<std::uint32_t>(parts.total());
  h.start_count = keys + 1;
  h.image_bytes = h.starts_offset + 4 * h.start_count;
  h.max_bucket = static_cast<std::int32_t>(max_count);
  return attach_reduced_seed_index(std::move(image));
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
