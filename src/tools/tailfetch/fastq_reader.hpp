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
  // "-" reads standard input.
  explicit FastqReader(const std::string& path) : in_(path), scan_(in_) {}
  const std::string& path() const { return in_.path(); }
  // The next record; false at the end of the file. Blank lines between
  // records are skipped. A last record cut short ends the file with a
  // warning on stderr, as the read numbering of a run does not count it; a
  // separator that does not begin with '+' throws InputError. A read of
  // length 0 comes with an empty sequence and quality. Bases come in upper
  // case.
  bool next(FastqRecord& record);

 private:
  // After the separator of a read of length 0 where its sequence should be.
  bool take_empty_read(FastqRecord& record);

  InputFile in_;
  TextScanner scan_;
  std::string header_;
  long record_ = 0;
};

}  // namespace quilm::tailfetch
