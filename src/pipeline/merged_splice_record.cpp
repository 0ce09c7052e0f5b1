#include "pipeline/merged_splice_record.hpp"

#include "common/errors.hpp"

namespace quilm {

void write_merged_splice_record(OutputFile& out, const MergedSpliceRecord& r) {
  const SpliceOutputRecord& h = r.hit;
  out.write_int(h.read_number);
  out.put('\t');
  out.write(h.sequence);
  out.put('\t');
  out.write(r.signals);
  out.put('\n');
  out.put(h.strand);
  out.put('\t');
  out.write(h.chromosome);
  for (long long v :
       {static_cast<long long>(h.split), static_cast<long long>(h.errors), h.first, h.second}) {
    out.put('\t');
    out.write_int(v);
  }
  out.put('\n');
}

bool MergedSpliceReader::next(MergedSpliceRecord& r) {
  SpliceOutputRecord& h = r.hit;
  Scan s = scan_.read_long(h.read_number);
  if (s == Scan::kEof) return false;
  ++record_;
  if (s == Scan::kOk) s = scan_.read_word(h.sequence);
  if (s == Scan::kOk) s = scan_.read_word(r.signals);
  if (s == Scan::kOk) s = scan_.skip_space() ? scan_.read_char(h.strand) : Scan::kEof;
  if (s == Scan::kOk) s = scan_.read_word(h.chromosome);
  if (s == Scan::kOk) s = scan_.read_int(h.split);
  if (s == Scan::kOk) s = scan_.read_int(h.errors);
  if (s == Scan::kOk) s = scan_.read_long(h.first);
  if (s == Scan::kOk) s = scan_.read_long(h.second);
  if (s == Scan::kOk) s = scan_.read_line_end();
  if (s != Scan::kOk)
    throw InputError("'" + path() + "': merged splice record " + std::to_string(record_) +
                     (s == Scan::kEof ? " is cut short" : " is malformed"));
  return true;
}

}  // namespace quilm
