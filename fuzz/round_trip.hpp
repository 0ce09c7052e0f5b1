// Round trips of the record files. What a reader accepts, written with the
// project's writer of that format, must read back as the same records; and
// as every writer is canonical, a file that the project wrote must come out
// byte for byte the same when it is read and written again.
#pragma once

#include <algorithm>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "common/mapping_record.hpp"
#include "common/numbered_reads.hpp"
#include "common/output_file.hpp"
#include "common/output_records.hpp"
#include "common/rescue_record.hpp"
#include "common/segment_index.hpp"
#include "common/splice_record.hpp"
#include "common/work_files.hpp"
#include "fuzz_support.hpp"
#include "pipeline/merged_splice_record.hpp"
#include "tools/refjunc/splice_evidence_record.hpp"

namespace quilm::fuzz {

// The fields that make each record. The mapping record's count is left out:
// the format fixes it at 1, which its writer always writes and no reader uses.
inline auto fields(const MappingRecord& r) {
  return std::tie(r.read_number, r.sequence, r.strand, r.errors, r.position);
}
inline auto fields(const SpliceRecord& r) {
  return std::tie(r.read_number, r.sequence, r.signals, r.strand, r.split, r.errors,
                  r.first_position, r.second_position);
}
inline auto fields(const NumberedRead& r) {
  return std::tie(r.number, r.sequence);
}
inline auto fields(const MappingOutputRecord& r) {
  return std::tie(r.read_number, r.sequence, r.strand, r.chromosome, r.errors, r.position);
}
inline auto fields(const SpliceOutputRecord& r) {
  return std::tie(r.read_number, r.sequence, r.strand, r.chromosome, r.split, r.errors, r.first,
                  r.second);
}
inline auto fields(const MergedSpliceRecord& r) {
  return std::tuple_cat(fields(r.hit), std::tie(r.signals));
}
inline auto fields(const refjunc::SpliceEvidenceRecord& r) {
  return std::tuple_cat(fields(r.fields), std::tie(r.divisor));
}
inline auto fields(const RescueHit& h) {
  return std::tie(h.read_number, h.position, h.reverse, h.cigar, h.score, h.edit_distance, h.kind,
                  h.intron_strand);
}
inline auto fields(const SegmentIndexLine& l) {
  return std::tie(l.segment, l.offset, l.position, l.ordinal, l.name);
}

inline void write_record(OutputFile& out, const MappingRecord& r) {
  write_mapping_record(out, r.read_number, r.sequence, r.strand, r.errors, r.position);
}
inline void write_record(OutputFile& out, const SpliceRecord& r) {
  write_splice_record(out, r.read_number, r.sequence, r.signals, r.strand, r.split, r.errors,
                      r.first_position, r.second_position);
}
inline void write_record(OutputFile& out, const NumberedRead& r) {
  write_numbered_read(out, r.number, r.sequence);
}
inline void write_record(OutputFile& out, const MappingOutputRecord& r) {
  write_mapping_output_record(out, r);
}
inline void write_record(OutputFile& out, const SpliceOutputRecord& r) {
  write_splice_output_record(out, r);
}
inline void write_record(OutputFile& out, const MergedSpliceRecord& r) {
  write_merged_splice_record(out, r);
}
inline void write_record(OutputFile& out, const refjunc::SpliceEvidenceRecord& r) {
  refjunc::write_splice_evidence_record(out, r);
}
inline void write_record(OutputFile& out, const RescueHit& h) {
  write_rescue_hit(out, h);
}
inline void write_record(OutputFile& out, const SegmentIndexLine& l) {
  write_segment_index_line(out, l);
}

template <class Record>
bool same_records(const std::vector<Record>& a, const std::vector<Record>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](const Record& x, const Record& y) { return fields(x) == fields(y); });
}

// Every record of a file; a refusal throws as the reader throws.
template <class Reader, class Record>
std::vector<Record> read_records(const std::string& path) {
  Reader reader(path);
  std::vector<Record> records;
  Record record;
  while (reader.next(record)) records.push_back(record);
  return records;
}

template <class Record>
void write_records(const std::string& path, const std::vector<Record>& records) {
  OutputFile out(path);
  for (const Record& r : records) write_record(out, r);
  out.close();
}

// A file that the project wrote: it reads without refusal, and its records
// written again give the same bytes. Returns the records.
template <class Reader, class Record>
std::vector<Record> check_canonical(const std::string& path) {
  const std::vector<Record> records = read_own([&] { return read_records<Reader, Record>(path); });
  const std::string again = path + ".again";
  write_records(again, records);
  QUILM_FUZZ_CHECK(file_bytes(again) == file_bytes(path),
                   "'" + path + "' read and written again gives other bytes");
  return records;
}

// Where check_round_trip writes the records of `path`.
inline std::string written_copy(const std::string& path) {
  return path + ".written";
}

// Any file that a reader accepts: its records, written with the project's
// writer, read back as the same records. A refusal of the file itself
// throws as the reader throws. Returns the records.
template <class Reader, class Record>
std::vector<Record> check_round_trip(const std::string& path) {
  const std::vector<Record> records = read_records<Reader, Record>(path);
  const std::string written = written_copy(path);
  write_records(written, records);
  QUILM_FUZZ_CHECK(same_records(records, check_canonical<Reader, Record>(written)),
                   "the records of '" + path + "', written and read back, differ");
  return records;
}

// The segment index is read whole, for a work folder and a segment count;
// these do for its file what the two checks above do for any other file.

inline std::vector<SegmentIndexLine> check_segment_index_canonical(const std::string& folder,
                                                                   int segment_count) {
  const std::string path = folder + "/" + kSegmentIndexFile;
  const std::vector<SegmentIndexLine> lines =
      read_own([&] { return SegmentIndex(folder, segment_count).lines(); });
  const std::string again = folder + "/again";
  std::filesystem::create_directory(again);
  write_records(again + "/" + kSegmentIndexFile, lines);
  QUILM_FUZZ_CHECK(file_bytes(again + "/" + kSegmentIndexFile) == file_bytes(path),
                   "'" + path + "' read and written again gives other bytes");
  return lines;
}

inline void check_segment_index_round_trip(const std::string& folder, int segment_count) {
  const std::vector<SegmentIndexLine> lines = SegmentIndex(folder, segment_count).lines();
  const std::string written = folder + "/written";
  std::filesystem::create_directory(written);
  write_records(written + "/" + kSegmentIndexFile, lines);
  QUILM_FUZZ_CHECK(
      same_records(lines, check_segment_index_canonical(written, segment_count)),
      "the lines of '" + folder + "/" + kSegmentIndexFile + "', written and read back, differ");
}

}  // namespace quilm::fuzz
