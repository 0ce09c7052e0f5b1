// Read mapping of the seed-mapping worker: seeds vote
// for read starts, candidates are verified from the most votes downward, and
// the hits of each read go to the segment's result file as mapping result
// records. One implementation, templated on the index type, serves the full
// index (quilm_x) and the reduced one (quilm_x_red).
#pragma once

#include <cstdint>
#include <string>

#include "common/numbered_reads.hpp"
#include "common/run_config.hpp"
#include "worker/seed_index.hpp"

namespace quilm {

class OutputFile;
class ProgressCounter;

struct MapSettings {
  int max_read_length = kDefaultMaxReadLength;  // only a sizing hint: longer reads are mapped too
  int max_errors = kDefaultMaxErrors;
  int indel_toggle = kDefaultIndelToggle;
  int seed_length = kDefaultSeedLength;
  int masked_toggle = kDefaultMaskedToggle;
  int best_toggle = kDefaultBestToggle;
  int unidirectional_toggle = kDefaultUnidirectionalToggle;
  int export_all_toggle = kDefaultExportAllToggle;
  std::string index_store;              // folder of stored seed indexes; empty: build in memory
  ProgressCounter* progress = nullptr;  // the process's count of reads done; none: not counted
  JobMemory* memory = nullptr;          // reused from job to job; none: fresh for every job
};

struct MapStats {
  long reads = 0;
  long records = 0;
  double load_seconds = 0;
  double build_seconds = 0;
  double map_seconds = 0;
};

// The two mapping routines: load the segment, build the index
// (full, or reduced for quilm_x_red), map every read of the read file (or of
// one slice of it) and write the result file. Errors throw (IoError,
// InputError, UsageError).
MapStats quilm_x(const std::string& segment_path, const std::string& read_path,
                 const std::string& result_path, const MapSettings& settings, ReadSlice slice = {});
MapStats quilm_x_red(const std::string& segment_path, const std::string& read_path,
                     const std::string& result_path, const MapSettings& settings,
                     ReadSlice slice = {});

// The read loop alone, on a loaded segment and a built index.
template <class Index>
void map_reads(const Segment& segment, const Index& index, const std::string& read_path,
               OutputFile& out, const MapSettings& settings, MapStats& stats, ReadSlice slice = {});

extern template void map_reads<SeedIndex>(const Segment&, const SeedIndex&, const std::string&,
                                          OutputFile&, const MapSettings&, MapStats&, ReadSlice);
extern template void map_reads<ReducedSeedIndex>(const Segment&, const ReducedSeedIndex&,
                                                 const std::string&, OutputFile&,
                                                 const MapSettings&, MapStats&, ReadSlice);

}  // namespace quilm
