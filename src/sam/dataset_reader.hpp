// The FASTQ dataset of a run, record by record with name and qualities. The
// records are counted exactly as the run numbered its reads, so that the k-th
// record returned is read number k.
#pragma once

#include <string>
#include <string_view>

#include "common/input_file.hpp"
#include "common/text_scanner.hpp"

namespace quilm::sam {

struct DatasetRead {
  std::string name;      // the header's first word without '@'
  std::string sequence;  // as in the file
  std::string quality;   // Phred + 33 characters, one per base
};

class DatasetReader {
 public:
  // "-" reads standard input.
  explicit DatasetReader(const std::string& path) : in_(path), scan_(in_) {}
  const std::string& path() const { return in_.path(); }
  long count() const { return count_; }

  // The next read; false at the end of the file or at a last record cut
  // short (which the run did not count either). A read of length 0 comes
  // with an empty sequence and quality. Throws InputError naming the file
  // and record when the quality does not fit the sequence.
  bool next(DatasetRead& read);

 private:
  // Counts the read, names it and checks its qualities.
  void finish(std::string_view header, DatasetRead& read);

  InputFile in_;
  TextScanner scan_;
  std::string header_;
  std::string separator_;
  long count_ = 0;
};

}  // namespace quilm::sam
