#include "tools/refjunc/splice_evidence_record.hpp"

#include "common/errors.hpp"

namespace quilm::refjunc {

void write_splice_evidence_record(OutputFile& out, const SpliceEvidenceRecord& record) {
  write_splice_output_fields(out, record.fields);
  out.put('\t');
  out.write_int(record.divisor);
  out.put('\n');
}

bool SpliceEvidenceReader::next(SpliceEvidenceRecord& record) {
  if (!scan_.skip_space()) return false;
  ++record_;
  Scan s = scan_splice_output_fields(scan_, record.fields);
  if (s == Scan::kOk) s = scan_.read_int(record.divisor);
  if (s != Scan::kOk) throw_bad_record(path(), "junction evidence", record_, s);
  // The divisor is a hit count; the weight of the record is its inverse.
  if (record.divisor < 1)
    throw InputError("'" + path() + "': junction evidence record " + std::to_string(record_) +
                     " has a weight divisor below 1");
  return true;
}

}  // namespace quilm::refjunc
