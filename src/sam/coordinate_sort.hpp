// Coordinate sorting of BAM records with bounded memory: records gather in
// one buffer, and their sort keys in chunks that are sorted as soon as they
// fill (in the thread pool when there is one, while records keep coming). A
// full buffer is written, its chunks merged, as a temporary BAM run, and the
// runs are merged at the end. Every key is unique (arrival order breaks
// ties), so the order never depends on how the keys were cut into chunks or
// runs.
#pragma once

#include <htslib/sam.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "sam/hts_handles.hpp"

namespace quilm::sam {

// Removes the files it holds when it goes out of scope.
struct TemporaryFiles {
  std::vector<std::string> paths;
  TemporaryFiles() = default;
  TemporaryFiles(TemporaryFiles&& other) noexcept : paths(std::move(other.paths)) {
    other.paths.clear();
  }
  TemporaryFiles(const TemporaryFiles&) = delete;
  TemporaryFiles& operator=(const TemporaryFiles&) = delete;
  ~TemporaryFiles();
};

struct SortEntry {
  std::uint64_t position_key;  // chromosome (unmapped last), then position
  std::uint64_t order_key;     // reverse strand last, then arrival order
  std::uint64_t offset;        // of the stored record in the buffer
};

// Keys of consecutive records; full chunks are sorted (or being sorted).
struct SortChunk {
  std::vector<SortEntry> entries;
};

struct CoordinateSorter {
  std::string run_prefix;  // spilled runs are "<prefix><k>.bam"
  std::size_t memory_limit = 0;
  hts_tpool* pool = nullptr;         // sorts chunks and compresses runs when set
  std::size_t chunk_entries = 0;     // keys per chunk
  std::vector<std::uint8_t> buffer;  // stored records (see stored_records.hpp)
  std::deque<SortChunk> chunks;      // a deque, so that a chunk being sorted never moves
  std::size_t entry_count = 0;
  std::uint64_t arrivals = 0;
  TemporaryFiles runs;
  ProcessPtr sorts;  // after the chunks: it waits for their sorts before they go
};

// `pool` may be null: everything then runs on the calling thread.
CoordinateSorter make_sorter(const std::string& run_prefix, std::size_t memory_limit,
                             hts_tpool* pool);

// Copies the record in, spilling first when the buffer would pass the limit.
void sorter_add(CoordinateSorter& sorter, const sam_hdr_t* header, const bam1_t* b);

// Writes all records in coordinate order into `out`.
void sorter_finish(CoordinateSorter& sorter, const sam_hdr_t* header, htsFile* out,
                   const std::string& out_path);

}  // namespace quilm::sam
