#include "pipeline/segment_sizes.hpp"

#include <cstdio>

#include "common/errors.hpp"
#include "common/input_file.hpp"
#include "common/paths.hpp"
#include "common/text_scanner.hpp"
#include "common/work_files.hpp"

namespace quilm {

void write_segment_size(OutputFile& out, int segment, const SegmentSize& size) {
  char text[64];
  const int n =
      std::snprintf(text, sizeof text, "%d %lld %lld\n", segment, size.length, size.unmasked);
  out.write(std::string_view(text, static_cast<std::size_t>(n)));
}

std::vector<SegmentSize> read_segment_sizes(const std::string& work_folder, int segment_count) {
  InputFile in(join_path(work_folder, kSegmentSizeFile), 1 << 16);
  TextScanner scan(in);
  std::vector<SegmentSize> sizes(segment_count > 0 ? segment_count : 0);
  for (int k = 1; k <= segment_count; ++k) {
    long long number = 0;
    SegmentSize& size = sizes[k - 1];
    if (scan.read_long(number) != Scan::kOk || scan.read_long(size.length) != Scan::kOk ||
        scan.read_long(size.unmasked) != Scan::kOk)
      throw InputError("'" + in.path() + "' has no valid line for segment " + std::to_string(k));
  }
  return sizes;
}

}  // namespace quilm
