#include "common/mapping_record.hpp"

#include "common/errors.hpp"

namespace quilm {

bool MappingRecordReader::next(MappingRecord& r) {
  Scan s = scan_.read_int(r.read_number);
  if (s == Scan::kEof) return false;
  ++record_;
  if (s == Scan::kOk) s = scan_.read_word(r.sequence);
  if (s == Scan::kOk) s = scan_.skip_space() ? scan_.read_char(r.strand) : Scan::kEof;
  if (s == Scan::kOk) s = scan_.read_int(r.count);
  if (s == Scan::kOk) s = scan_.read_int(r.errors);
  if (s == Scan::kOk) s = scan_.read_int(r.position);
  // Workers end every record with a line feed: without it the file was cut.
  if (s == Scan::kOk) s = scan_.read_line_end();
  if (s != Scan::kOk)
    throw InputError("'" + path() + "': mapping record " + std::to_string(record_) +
                     (s == Scan::kEof ? " is cut short" : " is malformed"));
  return true;
}

}  // namespace quilm
