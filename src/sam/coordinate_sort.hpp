// Coordinate sorting of BAM records with bounded memory. Records come in
// blocks (the records of consecutive reads) whose keys the producer sorts
// itself, in the thread pool when there is one; the sorter keeps the blocks
// and merges them when writing. Blocks that would pass the memory limit are
// first written, merged, as a temporary BAM run, and the runs are merged at
// the end. Every key is unique (arrival order breaks ties), so the order
// never depends on how the records were cut into blocks or runs.
#pragma once

#include <htslib/sam.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "common/progress_display.hpp"
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
  std::uint64_t offset;        // of the record in its block
};

// Stored records (see stored_records.hpp) and, once sorted, their keys.
struct SortBlock {
  std::vector<std::uint8_t> records;
  std::vector<SortEntry> entries;
};

// Sorts the keys of the block's records; `sequence` numbers the block in
// arrival order among those given to one sorter (below 2^31, and a block
// holds fewer than 2^32 records: both go into the key's arrival order).
// Touches nothing but the block, so it may run in any thread.
void sort_block(SortBlock& block, std::uint64_t sequence);

struct CoordinateSorter {
  std::string run_prefix;  // spilled runs are "<prefix><k>.bam"
  std::size_t memory_limit = 0;
  hts_tpool* pool = nullptr;  // compresses the runs and reads them back when set
  std::vector<SortBlock> blocks;
  std::size_t used = 0;  // bytes of the blocks' records and keys
  long records = 0;      // of all blocks taken in
  TemporaryFiles runs;
};

// `pool` may be null: everything then runs on the calling thread.
CoordinateSorter make_sorter(const std::string& run_prefix, std::size_t memory_limit,
                             hts_tpool* pool);

// Takes a sorted block in, first spilling the blocks held when it would
// pass the memory limit.
void sorter_add(CoordinateSorter& sorter, const sam_hdr_t* header, SortBlock&& block);

// Writes all records in coordinate order into `out`, showing the records
// written on `progress` when there is one.
void sorter_finish(CoordinateSorter& sorter, const sam_hdr_t* header, htsFile* out,
                   const std::string& out_path, ProgressDisplay* progress = nullptr);

}  // namespace quilm::sam
