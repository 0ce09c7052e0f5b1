// config.txt: the run configuration that the driver writes and every program
// of a run reads back, and behind it the run log.
#pragma once

#include <string>
#include <string_view>

#include "common/work_files.hpp"

namespace quilm {

// The drivers' defaults of the run's settings, which the workers' settings
// start from too.
inline constexpr int kDefaultMaxReadLength = 100;
inline constexpr int kDefaultMaxErrors = 2;
inline constexpr int kDefaultIndelToggle = 0;
inline constexpr int kDefaultSeedLength = 14;
inline constexpr int kDefaultMaskedToggle = 1;
inline constexpr int kDefaultBestToggle = 1;
inline constexpr int kDefaultUnidirectionalToggle = 0;
inline constexpr int kDefaultMemoryReductionToggle = 1;
inline constexpr int kDefaultExportAllToggle = 0;
inline constexpr int kDefaultMinGapDistance = 10;
inline constexpr int kDefaultMaxGapDistance = 50000;
inline constexpr int kDefaultSpliceSeedLength = 14;
inline constexpr int kDefaultSegmentSizeMb = 100;

struct RunConfig {
  std::string work_folder;
  std::string ref_path;
  std::string output_path;
  int segment_count = 0;
  int read_count = 0;
  int max_read_length = kDefaultMaxReadLength;
  int max_errors = kDefaultMaxErrors;
  int indel_toggle = kDefaultIndelToggle;
  int seed_length = kDefaultSeedLength;
  int masked_toggle = kDefaultMaskedToggle;
  int best_toggle = kDefaultBestToggle;
  int unidirectional_toggle = kDefaultUnidirectionalToggle;
  int cpu_cores = 1;
  int memory_reduction_toggle = kDefaultMemoryReductionToggle;
  int export_all_toggle = kDefaultExportAllToggle;
  // The fifth line, written by the splice driver only.
  bool has_splice_line = false;
  int min_gap_distance = kDefaultMinGapDistance;
  int max_gap_distance = kDefaultMaxGapDistance;
  int splice_seed_length = kDefaultSpliceSeedLength;
};

// Writes lines 1 to 4, and line 5 when has_splice_line is set.
void write_run_config(const std::string& path, const RunConfig& config);

// Reads lines 1 to 4, and line 5 when want_splice_line is set; throws
// InputError naming the file when a line is missing or malformed.
RunConfig read_run_config(const std::string& path, bool want_splice_line);

// Appends one line of the run log.
void append_log_line(const std::string& path, std::string_view line);

// The counts of one stage of a seed length in the run log's line
// "The <seed> <stage> result,match read numeber: <records>, multi_match
// number: <multi>,next_match number: <next>,match number:<matched>".
struct StageResultLine {
  int seed = 0;
  const char* stage = "";  // "seed mapping", "seed splice mapping"
  long records = 0;
  long multi = 0;
  long next = 0;
  long matched = 0;
};
void append_stage_result(const std::string& path, const StageResultLine& line);

// "%.1f" of a time in seconds, as the log lines print it.
std::string format_seconds(double seconds);

}  // namespace quilm
