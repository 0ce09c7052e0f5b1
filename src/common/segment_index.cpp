#include "common/segment_index.hpp"

#include <algorithm>
#include <limits>

#include "common/errors.hpp"
#include "common/input_file.hpp"
#include "common/paths.hpp"
#include "common/text_scanner.hpp"
#include "common/work_files.hpp"

namespace quilm {

void write_segment_index_line(OutputFile& out, const SegmentIndexLine& line) {
  out.write_int(line.segment);
  out.put(' ');
  out.write_int(line.offset);
  out.put(' ');
  out.write_int(line.position);
  out.put(' ');
  out.write_int(line.ordinal);
  out.put(' ');
  out.write(line.name);
  out.put('\n');
}

namespace {

// Offsets and positions that a segmentation can write: never negative, and
// small enough that a result's position converted with them cannot overflow.
bool plausible_coordinate(long long value) {
  return value >= 0 && value <= std::numeric_limits<std::int64_t>::max() / 2;
}

}  // namespace

SegmentIndex::SegmentIndex(const std::string& work_folder, int segment_count)
    : path_(join_path(work_folder, kSegmentIndexFile)),
      first_(segment_count + 2, 0),
      last_(segment_count + 2, 0) {
  InputFile in(path_, 1 << 20);
  TextScanner scan(in);
  SegmentIndexLine line;
  for (long n = 1;; ++n) {
    long long offset = 0, position = 0;
    Scan s = scan.read_int(line.segment);
    if (s == Scan::kEof) break;
    if (s == Scan::kOk) s = scan.read_long(offset);
    if (s == Scan::kOk) s = scan.read_long(position);
    if (s == Scan::kOk) s = scan.read_int(line.ordinal);
    if (s == Scan::kOk) s = scan.read_word(line.name);
    if (s != Scan::kOk || line.segment < 1 || line.segment > segment_count ||
        !plausible_coordinate(offset) || !plausible_coordinate(position))
      throw InputError("'" + path_ + "': line " + std::to_string(n) + " is malformed");
    line.offset = offset;
    line.position = position;
    lines_.push_back(line);
  }
  // Lines come segment by segment; remember each segment's run.
  for (std::size_t i = lines_.size(); i-- > 0;) first_[lines_[i].segment] = i;
  for (std::size_t i = 0; i < lines_.size(); ++i) last_[lines_[i].segment] = i + 1;
}

const SegmentIndexLine& SegmentIndex::locate(int segment, std::int64_t offset) const {
  if (segment >= 1 && segment + 1 < static_cast<int>(first_.size())) {
    // A segment's lines have non-decreasing offsets: the wanted line is the
    // one before the first whose offset exceeds `offset`.
    auto begin = lines_.begin() + static_cast<std::ptrdiff_t>(first_[segment]);
    auto end = lines_.begin() + static_cast<std::ptrdiff_t>(last_[segment]);
    auto after = std::upper_bound(
        begin, end, offset, [](std::int64_t o, const SegmentIndexLine& l) { return o < l.offset; });
    if (after != begin) return *(after - 1);
  }
  throw InputError("'" + path_ + "' places no chromosome at offset " + std::to_string(offset) +
                   " of segment " + std::to_string(segment));
}

}  // namespace quilm
