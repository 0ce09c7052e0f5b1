#include "common/output_records.hpp"

#include "common/errors.hpp"

namespace quilm {

namespace {

// The fields both output records begin with: read, sequence, strand, chromosome.
template <typename Record>
void write_leading_fields(OutputFile& out, const Record& r) {
  out.write_int(r.read_number);
  out.put('\t');
  out.write(r.sequence);
  out.put('\n');
  out.put(r.strand);
  out.put('\t');
  out.write(r.chromosome);
}

}  // namespace

void write_mapping_output_record(OutputFile& out, const MappingOutputRecord& r) {
  write_leading_fields(out, r);
  out.put('\t');
  out.write_int(r.errors);
  out.put('\t');
  out.write_int(r.position);
  out.put('\n');
}

void write_splice_output_fields(OutputFile& out, const SpliceOutputRecord& r) {
  write_leading_fields(out, r);
  out.put('\t');
  out.write_int(r.split);
  out.put('\t');
  out.write_int(r.errors);
  out.put('\t');
  out.write_int(r.first);
  out.put('\t');
  out.write_int(r.second);
}

void write_splice_output_record(OutputFile& out, const SpliceOutputRecord& r) {
  write_splice_output_fields(out, r);
  out.put('\n');
}

void throw_bad_record(const std::string& path, const char* kind, long record, Scan status) {
  throw InputError("'" + path + "': " + kind + " record " + std::to_string(record) +
                   (status == Scan::kEof ? " is cut short" : " is malformed"));
}

namespace {

// "%s\n%c": the strand is the first non-blank byte after the sequence.
Scan scan_strand(TextScanner& scan, char& strand) {
  return scan.skip_space() ? scan.read_char(strand) : Scan::kEof;
}

}  // namespace

Scan scan_splice_output_fields(TextScanner& scan, SpliceOutputRecord& r) {
  Scan s = scan.read_long(r.read_number);
  if (s != Scan::kOk) return s;
  s = scan.read_word(r.sequence);
  if (s == Scan::kOk) s = scan_strand(scan, r.strand);
  if (s == Scan::kOk) s = scan.read_word(r.chromosome);
  if (s == Scan::kOk) s = scan.read_int(r.split);
  if (s == Scan::kOk) s = scan.read_int(r.errors);
  if (s == Scan::kOk) s = scan.read_long(r.first);
  if (s == Scan::kOk) s = scan.read_long(r.second);
  return s;
}

bool MappingOutputReader::next(MappingOutputRecord& r) {
  Scan s = scan_.read_long(r.read_number);
  if (s == Scan::kEof) return false;
  ++record_;
  if (s == Scan::kOk) s = scan_.read_word(r.sequence);
  if (s == Scan::kOk) s = scan_strand(scan_, r.strand);
  if (s == Scan::kOk) s = scan_.read_word(r.chromosome);
  if (s == Scan::kOk) s = scan_.read_int(r.errors);
  if (s == Scan::kOk) s = scan_.read_long(r.position);
  if (s != Scan::kOk) throw_bad_record(path(), "mapping output", record_, s);
  return true;
}

bool SpliceOutputReader::next(SpliceOutputRecord& r) {
  if (!scan_.skip_space()) return false;
  ++record_;
  Scan s = scan_splice_output_fields(scan_, r);
  if (s != Scan::kOk) throw_bad_record(path(), "splice output", record_, s);
  return true;
}

}  // namespace quilm
