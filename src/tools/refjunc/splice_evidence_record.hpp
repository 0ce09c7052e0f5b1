// Junction evidence records of "refFlat-splice" and of the deferred files
// "temp0" and "temp1": a splice output record with a ninth field, the weight
// divisor, written as
//   "<number>\t<sequence>\n<strand>\t<chromosome>\t<split>\t<errors>\t<D>\t<A>\t<divisor>\n"
// where D is the 1-based coordinate of the last base before the junction
// and A that of the first base after it.
#pragma once

#include <string>

#include "common/input_file.hpp"
#include "common/output_file.hpp"
#include "common/output_records.hpp"
#include "common/text_scanner.hpp"

namespace quilm::refjunc {

struct SpliceEvidenceRecord {
  // first and second hold D and A.
  SpliceOutputRecord fields;
  int divisor = 1;
};

void write_splice_evidence_record(OutputFile& out, const SpliceEvidenceRecord& record);

class SpliceEvidenceReader {
 public:
  explicit SpliceEvidenceReader(const std::string& path) : in_(path), scan_(in_) {}
  const std::string& path() const { return in_.path(); }
  // False at the end of the file; a malformed record, or one whose divisor is
  // below 1, throws InputError naming the file and the record.
  bool next(SpliceEvidenceRecord& record);

 private:
  InputFile in_;
  TextScanner scan_;
  long record_ = 0;
};

}  // namespace quilm::refjunc
