// "splice.tmp": the merged splice hits of a run, in chromosome coordinates,
//   "<read>\t<sequence>\t<signals>\n<strand>\t<chromosome>\t<split>\t<errors>\t<first>\t<second>\n"
// which the final merge sorts into the splice output files.
#pragma once

#include <string>

#include "common/input_file.hpp"
#include "common/output_file.hpp"
#include "common/output_records.hpp"
#include "common/text_scanner.hpp"

namespace quilm {

struct MergedSpliceRecord {
  SpliceOutputRecord hit;  // everything but the signal string
  std::string signals;
};

void write_merged_splice_record(OutputFile& out, const MergedSpliceRecord& record);

class MergedSpliceReader {
 public:
  explicit MergedSpliceReader(const std::string& path) : in_(path), scan_(in_) {}
  const std::string& path() const { return in_.path(); }
  // False at the end of the file; a malformed or cut-short record throws
  // InputError naming the file and the record.
  bool next(MergedSpliceRecord& record);

 private:
  InputFile in_;
  TextScanner scan_;
  long record_ = 0;
};

}  // namespace quilm
