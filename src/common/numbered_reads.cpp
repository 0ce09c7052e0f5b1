#include "common/numbered_reads.hpp"

#include "common/errors.hpp"

namespace quilm {

bool NumberedReadReader::next(NumberedRead& read) {
  Scan s = scan_.read_int(read.number);
  if (s == Scan::kEof) return false;
  ++record_;
  if (s == Scan::kOk) s = scan_.read_word(read.sequence);
  if (s != Scan::kOk)
    throw InputError("'" + path() + "': read record " + std::to_string(record_) +
                     " is not '<number>\\t<sequence>'");
  return true;
}

}  // namespace quilm
