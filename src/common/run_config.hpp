// config.txt: the run configuration that the driver writes and every program
// of a run reads back, and behind it the run log.
#pragma once

#include <string>
#include <string_view>

#include "common/work_files.hpp"

namespace quilm {

struct RunConfig {
  std::string work_folder;
  std::string ref_path;
  std::string output_path;
  int segment_count = 0;
  int read_count = 0;
  int max_read_length = 100;
  int max_errors = 2;
  int indel_toggle = 0;
  int seed_length = 14;
  int masked_toggle = 1;
  int best_toggle = 1;
  int unidirectional_toggle = 0;
  int cpu_cores = 1;
  int memory_reduction_toggle = 1;
  int export_all_toggle = 0;
  // The fifth line, written by the splice driver only.
  bool has_splice_line = false;
  int min_gap_distance = 10;
  int max_gap_distance = 50000;
  int splice_seed_length = 14;
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
