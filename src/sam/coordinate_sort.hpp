// Coordinate sorting of BAM records with bounded memory: records gather in
// one buffer; a full buffer is sorted and spilled as a temporary BAM run, and
// the runs are merged at the end.
#pragma once

#include <htslib/sam.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

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

struct CoordinateSorter {
  std::string run_prefix;  // spilled runs are "<prefix><k>.bam"
  std::size_t memory_limit = 0;
  std::vector<std::uint8_t> buffer;  // bam1_core_t, then l_data bytes of data, per record
  std::vector<SortEntry> entries;
  std::uint64_t arrivals = 0;
  TemporaryFiles runs;
};

CoordinateSorter make_sorter(const std::string& run_prefix, std::size_t memory_limit);

// Copies the record in, spilling first when the buffer would pass the limit.
void sorter_add(CoordinateSorter& sorter, const sam_hdr_t* header, const bam1_t* b);

// Writes all records in coordinate order into `out`.
void sorter_finish(CoordinateSorter& sorter, const sam_hdr_t* header, htsFile* out,
                   const std::string& out_path);

}  // namespace quilm::sam
