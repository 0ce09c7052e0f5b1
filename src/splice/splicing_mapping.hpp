// Split-read mapping of the splice stage: every read of a numbered read file
// is placed on one segment as two parts with an intron between them, and
// each accepted placement becomes a splice result record.
#pragma once

#include <string>

#include "common/numbered_reads.hpp"
#include "common/run_config.hpp"
#include "worker/seed_index.hpp"

namespace quilm {

class ProgressCounter;

struct SpliceSettings {
  int max_read_length = kDefaultMaxReadLength;  // sizes the pair lists, not a limit on reads
  int max_errors = kDefaultMaxErrors;
  int seed_length = kDefaultSeedLength;
  int masked_toggle = kDefaultMaskedToggle;
  int min_gap_distance = kDefaultMinGapDistance;  // shortest intron, in bases
  int max_gap_distance = kDefaultMaxGapDistance;
  std::string index_store;              // folder of stored seed indexes; empty: build in memory
  ProgressCounter* progress = nullptr;  // the process's count of reads done; none: not counted
  JobMemory* memory = nullptr;          // reused from job to job; none: fresh for every job
};

// With the full seed index; maps the whole read file or one slice of it.
void splicing_mapping(const std::string& segment_path, const std::string& read_path,
                      const std::string& result_path, const SpliceSettings& settings,
                      ReadSlice slice = {});

// With the reduced seed index; writes the same bytes as splicing_mapping.
void splicing_mapping_red(const std::string& segment_path, const std::string& read_path,
                          const std::string& result_path, const SpliceSettings& settings,
                          ReadSlice slice = {});

}  // namespace quilm
