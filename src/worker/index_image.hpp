// The byte layout of a seed index, in memory and in the index store: a
// header page, then page-aligned tables of fixed-width little-endian entries.
//
//   full:    header | starts (4^L + 1 x u32)    | positions (i32)
//   reduced: header | key lines (64 bytes each) | positions (i32) | dense starts (K + 1 x u32)
//
// The header names what the index was built from (seed length, variant,
// masked toggle, segment length and a SHA-256 of the segment's bytes), where
// each table lies, the size of the whole image and two checksums, one of
// the header and one of the tables. A stored image is used only when every
// one of these matches and the tables are consistent, so that lookups never
// leave the image.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "common/seed_lengths.hpp"
#include "worker/seed_index.hpp"

namespace quilm {

inline constexpr std::size_t kIndexPage = 4096;
inline constexpr std::uint32_t kIndexFormatVersion = 1;
inline constexpr char kIndexMagic[8] = {'Q', 'L', 'M', 'S', 'E', 'E', 'D', 'X'};

// How the header records the variant.
inline constexpr std::uint32_t kStoredFull = 1;
inline constexpr std::uint32_t kStoredReduced = 2;
inline std::uint32_t stored_variant(IndexVariant variant) {
  return variant == IndexVariant::kFull ? kStoredFull : kStoredReduced;
}

using SegmentHash = std::array<std::uint8_t, 32>;

// What an index must have been built from to serve a segment.
struct IndexIdentity {
  int seed_length = 0;
  IndexVariant variant = IndexVariant::kFull;
  int masked_toggle = 0;
  std::uint64_t segment_length = 0;
  SegmentHash segment_hash{};
};

struct IndexHeader {
  char magic[8];
  std::uint32_t format_version;
  std::uint32_t header_bytes;
  std::uint32_t seed_length;
  std::uint32_t variant;
  std::int32_t masked_toggle;
  std::int32_t max_bucket;
  std::uint64_t segment_length;
  std::uint8_t segment_hash[32];
  std::uint64_t lines_offset;
  std::uint64_t line_count;
  std::uint64_t starts_offset;
  std::uint64_t start_count;
  std::uint64_t positions_offset;
  std::uint64_t position_count;
  std::uint64_t image_bytes;
  std::uint64_t table_checksum;   // of the bytes behind the header page
  std::uint64_t header_checksum;  // of the header bytes before this field
};
static_assert(sizeof(IndexHeader) <= kIndexPage);

inline IndexHeader& image_header(std::uint8_t* image) {
  return *reinterpret_cast<IndexHeader*>(image);
}
inline const IndexHeader& image_header(const std::uint8_t* image) {
  return *reinterpret_cast<const IndexHeader*>(image);
}

// Room for an index under construction; the header's offsets and counts are
// set, with the dense starts of a reduced index sized for the worst case
// (image_bytes is fixed once the build knows K).
IndexMemory allocate_index_image(int seed_length, IndexVariant variant,
                                 std::uint64_t position_count);

// The lookup views over a finished image (built, or mapped from the store).
SeedIndex attach_seed_index(IndexMemory image);
ReducedSeedIndex attach_reduced_seed_index(IndexMemory image);

// Fills the identity and the checksums of a finished image, before it is stored.
void seal_index_image(std::uint8_t* image, const IndexIdentity& identity);

// Why a stored image of `bytes` bytes cannot serve `expected`; empty when it
// can. Reads only within the image.
std::string check_index_image(const std::uint8_t* data, std::size_t bytes,
                              const IndexIdentity& expected);

// The same for the header alone (identity, layout, size, header checksum),
// for an image whose tables were checked before and have not changed since.
std::string check_index_header(const std::uint8_t* data, std::size_t bytes,
                               const IndexIdentity& expected);

}  // namespace quilm
