// "task.txt": the work size of every segment, one line each,
// "<segment> <length> <unmasked length>\n", written by the preparation and
// read back by the task assignment and the memory check.
#pragma once

#include <string>
#include <vector>

#include "common/output_file.hpp"

namespace quilm {

struct SegmentSize {
  long long length = 0;    // bases in the segment file
  long long unmasked = 0;  // of them not masked
};

void write_segment_size(OutputFile& out, int segment, const SegmentSize& size);

// The sizes of segments 1..segment_count (element k - 1 for segment k).
// Throws InputError naming the file for a missing or malformed line.
std::vector<SegmentSize> read_segment_sizes(const std::string& work_folder, int segment_count);

}  // namespace quilm
