// BAM records stored back to back in one byte buffer: bam1_core_t, l_data,
// then the l_data bytes of data. Records built on one thread reach the
// writer or the sorter as plain byte copies, with no allocation per record.
#pragma once

#include <htslib/sam.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace quilm::sam {

inline constexpr std::size_t kStoredHead = sizeof(bam1_core_t) + sizeof(int);

inline std::size_t stored_size(const bam1_t* b) {
  return kStoredHead + static_cast<std::size_t>(b->l_data);
}

// Writes the record at `at`, which has room for stored_size(b) bytes.
inline void store_record(const bam1_t* b, std::uint8_t* at) {
  std::memcpy(at, &b->core, sizeof b->core);
  std::memcpy(at + sizeof b->core, &b->l_data, sizeof b->l_data);
  std::memcpy(at + kStoredHead, b->data, static_cast<std::size_t>(b->l_data));
}

inline void append_record(std::vector<std::uint8_t>& bytes, const bam1_t* b) {
  const std::size_t offset = bytes.size();
  bytes.resize(offset + stored_size(b));
  store_record(b, bytes.data() + offset);
}

// The size of the stored record at `at`.
inline std::size_t stored_size(const std::uint8_t* at) {
  int l_data;
  std::memcpy(&l_data, at + sizeof(bam1_core_t), sizeof l_data);
  return kStoredHead + static_cast<std::size_t>(l_data);
}

// The record at `at` seen as a bam1_t, without copying its data; valid while
// the buffer is.
inline bam1_t stored_record(const std::uint8_t* at) {
  bam1_t view{};
  std::memcpy(&view.core, at, sizeof view.core);
  std::memcpy(&view.l_data, at + sizeof view.core, sizeof view.l_data);
  view.m_data = static_cast<std::uint32_t>(view.l_data);
  view.data = const_cast<std::uint8_t*>(at + kStoredHead);
  view.mempolicy = BAM_USER_OWNS_STRUCT | BAM_USER_OWNS_DATA;
  return view;
}

}  // namespace quilm::sam
