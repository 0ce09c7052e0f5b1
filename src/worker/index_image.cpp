#include "worker/index_image.hpp"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <utility>

namespace quilm {

namespace {

std::uint64_t page_round(std::uint64_t bytes) {
  return (bytes + kIndexPage - 1) / kIndexPage * kIndexPage;
}

std::uint64_t key_total(int seed_length) {
  return std::uint64_t{1} << (2 * seed_length);
}

// A 64-bit checksum of a byte range: four independent multiply-rotate lanes
// over 8-byte words (so the loop runs at memory speed), the tail bytes and
// the length mixed in last.
std::uint64_t checksum(const std::uint8_t* data, std::size_t bytes) {
  constexpr std::uint64_t kMul = 0x9E3779B97F4A7C15ull;
  std::uint64_t lane[4] = {0x243F6A8885A308D3ull, 0x13198A2E03707344ull, 0xA4093822299F31D0ull,
                           0x082EFA98EC4E6C89ull};
  auto mix = [](std::uint64_t h, std::uint64_t w) {
    h ^= w;
    h *= kMul;
    return (h << 29) | (h >> 35);
  };
  std::size_t i = 0;
  for (; i + 32 <= bytes; i += 32) {
    std::uint64_t w[4];
    std::memcpy(w, data + i, sizeof w);
    for (int j = 0; j < 4; ++j) lane[j] = mix(lane[j], w[j]);
  }
  std::uint64_t h = bytes;
  for (std::uint64_t l : lane) h = mix(h, l);
  for (; i < bytes; ++i) h = mix(h, data[i]);
  return mix(h, bytes);
}

std::uint64_t header_checksum_of(const IndexHeader& h) {
  return checksum(reinterpret_cast<const std::uint8_t*>(&h),
                  offsetof(IndexHeader, header_checksum));
}

}  // namespace

namespace {

// The header of an index of this shape, with every table placed.
IndexHeader plan_header(int seed_length, IndexVariant variant, std::uint64_t position_count) {
  IndexHeader h{};
  std::memcpy(h.magic, kIndexMagic, sizeof h.magic);
  h.format_version = kIndexFormatVersion;
  h.header_bytes = sizeof(IndexHeader);
  h.seed_length = static_cast<std::uint32_t>(seed_length);
  h.variant = stored_variant(variant);
  h.position_count = position_count;
  std::uint64_t at = kIndexPage;
  if (variant == IndexVariant::kFull) {
    h.starts_offset = at;
    h.start_count = key_total(seed_length) + 1;
    at = page_round(at + 4 * h.start_count);
    h.positions_offset = at;
    h.image_bytes = at + 4 * position_count;
  } else {
    h.lines_offset = at;
    h.line_count = key_line_count(seed_length);
    at = page_round(at + sizeof(KeyLine) * h.line_count);
    h.positions_offset = at;
    at = page_round(at + 4 * position_count);
    h.starts_offset = at;
    // At most one present key per seed, and never more than all keys.
    h.start_count = std::min(position_count, key_total(seed_length)) + 1;
    h.image_bytes = at + 4 * h.start_count;
  }
  return h;
}

}  // namespace

IndexMemory allocate_index_image(int seed_length, IndexVariant variant,
                                 std::uint64_t position_count) {
  const IndexHeader h = plan_header(seed_length, variant, position_count);
  IndexMemory image = IndexMemory::anonymous(h.image_bytes);
  image_header(image.data()) = h;
  return image;
}

SeedIndex attach_seed_index(IndexMemory image) {
  const IndexHeader& h = image_header(image.data());
  SeedIndex index;
  index.seed_length = static_cast<int>(h.seed_length);
  index.max_bucket = h.max_bucket;
  index.starts = reinterpret_cast<const std::uint32_t*>(image.data() + h.starts_offset);
  index.positions = reinterpret_cast<const std::int32_t*>(image.data() + h.positions_offset);
  index.position_count = h.position_count;
  index.memory = std::move(image);
  return index;
}

ReducedSeedIndex attach_reduced_seed_index(IndexMemory image) {
  const IndexHeader& h = image_header(image.data());
  ReducedSeedIndex index;
  index.seed_length = static_cast<int>(h.seed_length);
  index.max_bucket = h.max_bucket;
  index.lines = reinterpret_cast<const KeyLine*>(image.data() + h.lines_offset);
  index.dense_starts = reinterpret_cast<const std::uint32_t*>(image.data() + h.starts_offset);
  index.key_count = h.start_count - 1;
  index.positions = reinterpret_cast<const std::int32_t*>(image.data() + h.positions_offset);
  index.position_count = h.position_count;
  index.memory = std::move(image);
  return index;
}

void seal_index_image(std::uint8_t* image, const IndexIdentity& identity) {
  IndexHeader& h = image_header(image);
  h.masked_toggle = identity.masked_toggle;
  h.segment_length = identity.segment_length;
  std::memcpy(h.segment_hash, identity.segment_hash.data(), sizeof h.segment_hash);
  h.table_checksum = checksum(image + kIndexPage, h.image_bytes - kIndexPage);
  h.header_checksum = header_checksum_of(h);
}

namespace {

// The header alone: what it was built from, and a layout that is exactly the
// one a build of that identity writes (so every table lies in the image).
std::string check_header(const IndexHeader& h, std::size_t bytes, const IndexIdentity& want) {
  if (std::memcmp(h.magic, kIndexMagic, sizeof h.magic) != 0) return "not a seed index file";
  if (h.format_version != kIndexFormatVersion)
    return "format version " + std::to_string(h.format_version) + ", expected " +
           std::to_string(kIndexFormatVersion);
  if (h.header_bytes != sizeof(IndexHeader) || h.header_checksum != header_checksum_of(h))
    return "damaged header";
  if (h.seed_length != static_cast<std::uint32_t>(want.seed_length) ||
      h.variant != stored_variant(want.variant))
    return "built for another seed length or index variant";
  if (h.masked_toggle != want.masked_toggle) return "built with another masked toggle";
  if (h.segment_length != want.segment_length ||
      std::memcmp(h.segment_hash, want.segment_hash.data(), sizeof h.segment_hash) != 0)
    return "built from another segment";
  if (h.image_bytes != bytes)
    return "size " + std::to_string(bytes) + " bytes, expected " + std::to_string(h.image_bytes) +
           " (truncated?)";
  const IndexHeader p = plan_header(want.seed_length, want.variant, h.position_count);
  const bool dense_fits =
      want.variant == IndexVariant::kFull || (h.start_count >= 1 && h.start_count <= p.start_count);
  const std::uint64_t expected_bytes =
      want.variant == IndexVariant::kFull ? p.image_bytes : p.starts_offset + 4 * h.start_count;
  if (h.position_count > want.segment_length || h.lines_offset != p.lines_offset ||
      h.line_count != p.line_count || h.starts_offset != p.starts_offset ||
      h.positions_offset != p.positions_offset || !dense_fits ||
      (want.variant == IndexVariant::kFull && h.start_count != p.start_count) ||
      h.image_bytes != expected_bytes)
    return "inconsistent table layout";
  return {};
}

// Starts from 0 up to the position count, never falling; the largest bucket
// must be the recorded one. Branch-free, so that the pass over hundreds of
// millions of starts runs at memory speed: with every start at most the
// position count (below 2^31), a fall wraps to a difference of 2^31 or more,
// which no recorded largest bucket matches.
bool starts_consistent(const std::uint32_t* starts, std::uint64_t count, std::uint64_t positions,
                       std::int32_t max_bucket) {
  if (positions >= (std::uint64_t{1} << 31) || max_bucket < 0) return false;
  if (starts[0] != 0 || starts[count - 1] != positions) return false;
  std::uint32_t largest = 0;
  std::uint32_t highest = 0;
  for (std::uint64_t i = 1; i < count; ++i) {
    largest = std::max(largest, starts[i] - starts[i - 1]);
    highest = std::max(highest, starts[i]);
  }
  return highest <= positions && largest == static_cast<std::uint32_t>(max_bucket);
}

// Every line's counts follow from its words, keys past 4^L are absent, and
// the present keys number exactly K.
bool lines_consistent(const KeyLine* lines, std::uint64_t count, int seed_length,
                      std::uint64_t keys_present) {
  const std::uint64_t last_key = key_total(seed_length);
  std::uint64_t present = 0;
  for (std::uint64_t l = 0; l < count; ++l) {
    if (lines[l].base != present) return false;
    std::uint32_t within = 0;
    for (int w = 0; w < kWordsPerLine; ++w) {
      const std::uint64_t first = l * kKeysPerLine + static_cast<std::uint64_t>(w) * kKeysPerWord;
      if (first >= last_key && lines[l].words[w] != 0) return false;
      if (lines[l].within[w] != within) return false;
      within += static_cast<std::uint32_t>(std::popcount(lines[l].words[w]));
    }
    present += within;
  }
  return present == keys_present;
}

bool positions_inside(const std::int32_t* positions, std::uint64_t count, std::uint64_t length) {
  std::int32_t low = 1;
  std::int32_t high = 1;
  for (std::uint64_t i = 0; i < count; ++i) {
    low = std::min(low, positions[i]);
    high = std::max(high, positions[i]);
  }
  return low >= 1 && static_cast<std::uint64_t>(high) <= std::max<std::uint64_t>(length, 1);
}

}  // namespace

std::string check_index_header(const std::uint8_t* data, std::size_t bytes,
                               const IndexIdentity& expected) {
  if (bytes < kIndexPage) return "shorter than its header (truncated?)";
  if (!is_indexable_seed(expected.seed_length)) return "unsupported seed length";
  return check_header(image_header(data), bytes, expected);
}

std::string check_index_image(const std::uint8_t* data, std::size_t bytes,
                              const IndexIdentity& expected) {
  if (std::string why = check_index_header(data, bytes, expected); !why.empty()) return why;
  const IndexHeader& h = image_header(data);
  if (checksum(data + kIndexPage, bytes - kIndexPage) != h.table_checksum)
    return "damaged tables (checksum)";
  const auto* starts = reinterpret_cast<const std::uint32_t*>(data + h.starts_offset);
  const auto* positions = reinterpret_cast<const std::int32_t*>(data + h.positions_offset);
  bool ok = starts_consistent(starts, h.start_count, h.position_count, h.max_bucket) &&
            positions_inside(positions, h.position_count, h.segment_length);
  if (ok && expected.variant == IndexVariant::kReduced)
    ok = lines_consistent(reinterpret_cast<const KeyLine*>(data + h.lines_offset), h.line_count,
                          expected.seed_length, h.start_count - 1);
  return ok ? std::string() : "inconsistent tables";
}

}  // namespace quilm
