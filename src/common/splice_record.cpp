#include "common/splice_record.hpp"

#include "common/errors.hpp"

namespace quilm {

bool SpliceRecordReader::next(SpliceRecord& r) {
  Scan s = scan_.read_int(r.read_number);
  if (s == Scan::kEof) return false;
  ++record_;
  if (s == Scan::kOk) s = scan_.read_word(r.sequence);
  if (s == Scan::kOk) s = scan_.read_word(r.signals);
  if (s == Scan::kOk) s = scan_.skip_space() ? scan_.read_char(r.strand) : Scan::kEof;
  if (s == Scan::kOk) s = scan_.read_int(r.split);
  if (s == Scan::kOk) s = scan_.read_int(r.errors);
  if (s == Scan::kOk) s = scan_.read_int(r.first_position);
  if (s == Scan::kOk) s = scan_.read_int(r.second_position);
  if (s != Scan::kOk)
    throw InputError("'" + path() + "': splice record " + std::to_string(record_) +
                     (s == Scan::kEof ? " is cut short" : " is malformed"));
  return true;
}

}  // namespace quilm
