// "fast_index.txt": the lines that place segment offsets on chromosomes,
// "<segment> <offset> <chromosome position> <ordinal> <name>\n".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/output_file.hpp"

namespace quilm {

struct SegmentIndexLine {
  int segment = 0;
  std::int64_t offset = 0;    // 0-based offset within the segment
  std::int64_t position = 0;  // 0-based chromosome position at that offset
  int ordinal = 0;            // 1-based chromosome ordinal
  std::string name;
};

void write_segment_index_line(OutputFile& out, const SegmentIndexLine& line);

// The lines of one run, grouped by segment for the lookups of the combination.
class SegmentIndex {
 public:
  SegmentIndex(const std::string& work_folder, int segment_count);
  // The line that places `offset` of `segment`: the last line of the segment
  // whose offset is at most `offset`. Throws InputError when there is none.
  const SegmentIndexLine& locate(int segment, std::int64_t offset) const;
  // Every line, in file order.
  const std::vector<SegmentIndexLine>& lines() const { return lines_; }

 private:
  std::string path_;
  std::vector<SegmentIndexLine> lines_;
  std::vector<std::size_t> first_, last_;  // per segment: [first, last) into lines_
};

}  // namespace quilm
