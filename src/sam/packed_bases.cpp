#include "sam/packed_bases.hpp"

#include <algorithm>
#include <array>
#include <cstring>

#include "common/huge_pages.hpp"

namespace quilm::sam {

namespace {

// Bits 1-2 of the ASCII code tell A, C, T and G apart in either case:
// A/a -> 0, C/c -> 1, T/t -> 2, G/g -> 3. Other bytes get kException.
constexpr std::uint8_t kException = 4;
constexpr std::array<std::uint8_t, 256> kCode = [] {
  std::array<std::uint8_t, 256> t{};
  t.fill(kException);
  for (unsigned char c : {'A', 'C', 'G', 'T', 'a', 'c', 'g', 't'}) t[c] = (c >> 1) & 3;
  return t;
}();
constexpr char kLetter[4] = {'A', 'C', 'T', 'G'};
// The four bases of each byte of codes, for decoding four at a time.
constexpr std::array<std::array<char, 4>, 256> kQuad = [] {
  std::array<std::array<char, 4>, 256> t{};
  for (int b = 0; b < 256; ++b)
    for (int k = 0; k < 4; ++k) t[b][k] = kLetter[(b >> (2 * k)) & 3];
  return t;
}();

char upper(unsigned char c) {
  return static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
}

constexpr std::uint64_t kBytes(std::uint8_t b) {
  return 0x0101010101010101ull * b;
}

// High bit of each byte set when that byte of t is zero (exact).
constexpr std::uint64_t zero_bytes(std::uint64_t t) {
  return ~(((t & kBytes(0x7f)) + kBytes(0x7f)) | t | kBytes(0x7f));
}

// True when all eight bytes are A, C, G or T in either case.
bool only_bases(std::uint64_t x) {
  const std::uint64_t y = x | kBytes(0x20);
  const std::uint64_t found = zero_bytes(y ^ kBytes('a')) | zero_bytes(y ^ kBytes('c')) |
                              zero_bytes(y ^ kBytes('g')) | zero_bytes(y ^ kBytes('t'));
  return found == kBytes(0x80);
}

// The codes of eight bases in 16 bits, the first base in the low bits.
std::uint64_t pack8(std::uint64_t x) {
  std::uint64_t c = (x >> 1) & kBytes(3);
  c = (c | (c >> 6)) & 0x000F000F000F000Full;
  c = (c | (c >> 12)) & 0x000000FF000000FFull;
  return (c | (c >> 24)) & 0xFFFFull;
}

}  // namespace

void PackedBases::reserve(std::int64_t bases) {
  words_.reserve(static_cast<std::size_t>(bases / 32 + 1));
  advise_huge(words_.data(), words_.capacity() * sizeof(std::uint64_t));
}

void PackedBases::add_exception(std::int64_t position, char base) {
  if (!runs_.empty() && runs_.back().end == position && runs_.back().base == base)
    ++runs_.back().end;
  else
    runs_.push_back({position, position + 1, base});
}

void PackedBases::append(const char* p, std::size_t n) {
  // Eight bases at a time while they are plain A, C, G, T.
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    std::uint64_t x;
    std::memcpy(&x, p + i, 8);
    if (!only_bases(x)) {
      append_bytes(p + i, 8);
      continue;
    }
    const std::uint64_t bits = pack8(x);
    const auto slot = static_cast<unsigned>(size_ & 31);
    if (slot == 0) words_.push_back(0);
    words_.back() |= bits << (2 * slot);
    if (slot > 24) words_.push_back(bits >> (2 * (32 - slot)));  // the rest in the next word
    size_ += 8;
  }
  append_bytes(p + i, n - i);
}

void PackedBases::append_bytes(const char* p, std::size_t n) {
  std::size_t i = 0;
  while (i < n) {
    const auto slot = static_cast<unsigned>(size_ & 31);
    if (slot == 0) words_.push_back(0);
    // Fill the current word: codes of up to 32 - slot bases at once.
    const std::size_t take = std::min<std::size_t>(n - i, 32 - slot);
    std::uint64_t bits = 0;
    std::uint8_t odd = 0;
    for (std::size_t k = 0; k < take; ++k) {
      const std::uint8_t code = kCode[static_cast<unsigned char>(p[i + k])];
      odd |= code;
      bits |= static_cast<std::uint64_t>(code & 3) << (2 * k);
    }
    if (odd & kException) {  // rare outside N runs: note the others one by one
      for (std::size_t k = 0; k < take; ++k) {
        const auto c = static_cast<unsigned char>(p[i + k]);
        if (kCode[c] == kException) add_exception(size_ + static_cast<std::int64_t>(k), upper(c));
      }
    }
    words_.back() |= bits << (2 * slot);
    size_ += static_cast<std::int64_t>(take);
    i += take;
  }
}

void PackedBases::prefetch(std::int64_t start, std::size_t n) const {
  constexpr std::int64_t kBasesPerLine = 64 * 4;
  const std::int64_t from = std::max<std::int64_t>(start, 0);
  const std::int64_t to = std::min(start + static_cast<std::int64_t>(n), size_);
  for (std::int64_t at = from; at < to; at += kBasesPerLine)
    __builtin_prefetch(words_.data() + (at >> 5));
  if (from < to) __builtin_prefetch(words_.data() + ((to - 1) >> 5));
}

void PackedBases::fetch(std::int64_t start, std::size_t n, char* out) const {
  auto at = static_cast<std::uint64_t>(start);
  for (std::size_t k = 0; k < n;) {
    const auto slot = static_cast<unsigned>(at & 31);
    std::uint64_t w = words_[at >> 5] >> (2 * slot);
    const std::size_t m = std::min<std::size_t>(n - k, 32 - slot);
    std::size_t j = 0;
    for (; j + 4 <= m; j += 4, w >>= 8) std::memcpy(out + k + j, kQuad[w & 255].data(), 4);
    for (; j < m; ++j, w >>= 2) out[k + j] = kLetter[w & 3];
    k += m;
    at += m;
  }
  const std::int64_t end = start + static_cast<std::int64_t>(n);
  // The first run that ends after start, then every run that begins before end.
  auto run = std::upper_bound(runs_.begin(), runs_.end(), start,
                              [](std::int64_t s, const Run& r) { return s < r.end; });
  for (; run != runs_.end() && run->start < end; ++run) {
    const std::int64_t from = std::max(run->start, start);
    const std::int64_t to = std::min(run->end, end);
    std::fill(out + (from - start), out + (to - start), run->base);
  }
}

}  // namespace quilm::sam
