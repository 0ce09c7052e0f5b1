#include "tools/tailfetch/fastq_reader.hpp"

#include <cstdio>

#include "common/errors.hpp"
#include "common/fastq_record.hpp"

namespace quilm::tailfetch {

bool FastqReader::take_empty_read(FastqRecord& record) {
  record.sequence.clear();
  read_empty_read_quality(scan_, record.quality);
  if (!record.quality.empty())
    throw InputError("'" + path() + "': FASTQ record " + std::to_string(record_) + " has " +
                     std::to_string(record.quality.size()) + " quality values for 0 bases");
  return true;
}

bool FastqReader::next(FastqRecord& record) {
  if (!scan_.skip_space()) return false;
  ++record_;
  scan_.read_line(header_);
  bool whole = scan_.read_word(record.sequence) == Scan::kOk;
  if (whole && is_separator_word(record.sequence)) return take_empty_read(record);
  char plus = 0;
  whole = whole && scan_.skip_space() && scan_.read_char(plus) == Scan::kOk;
  if (whole && plus != '+')
    throw InputError("'" + path() + "': FASTQ record " + std::to_string(record_) +
                     " has no '+' separator line after its sequence");
  // The rest of the separator line may repeat the header; it is not a quality.
  if (whole) whole = scan_.read_line(header_) && scan_.read_word(record.quality) == Scan::kOk;
  if (!whole) {
    std::fflush(stdout);
    std::fprintf(stderr,
                 "tailfetch: warning: '%s': last FASTQ record %ld is cut short and ignored\n",
                 path().c_str(), record_);
    return false;
  }
  // The pieces are read again by a run, which takes bases in upper case.
  upper_case_bases(record.sequence);
  return true;
}

}  // namespace quilm::tailfetch
