// Record-by-record reading of a FASTQ file: header line, sequence, a
// separator line that begins with '+' (and may repeat the header), quality.
#pragma once

#include <string>

#include "common/input_file.hpp"
#include "common/text_scanner.hpp"

namespace quilm::tailfetch {

struct FastqRecord {
  std::string sequence;
  std::string quality;
};

class FastqReader {
 public:
  explicit FastqReader(const std::string& path) : in_(path), scan_(in_) {}
  const std::string& path() const { return in_.path(); }
  // The next record; false at the end of the file. Blank lines between
  // records are skipped. A last record cut short ends the file with a
  // warning on stderr, as the read numbering of a run does not count it; a
  // separator that does not begin with '+' throws InputError.
  bool next(FastqRecord& record);

 private:
  InputFile in_;
  TextScanner scan_;
  std::string header_;
  long record_ = 0;
};

}  // namespace quilm::tailfetch
