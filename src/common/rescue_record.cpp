#include "common/rescue_record.hpp"

#include <climits>

#include "common/errors.hpp"
#include "common/run_stamp.hpp"
#include "common/text_fields.hpp"
#include "common/whole_number.hpp"

namespace quilm {

namespace {

// The export's messages name the file as what it is.
[[noreturn]] void bad_output_line(const std::string& path, long line, const std::string& why) {
  throw InputError("rescued alignments '" + path + "' line " + std::to_string(line) + ": " + why);
}

bool fits_int(std::int64_t value) {
  return value >= INT_MIN && value <= INT_MAX;
}

}  // namespace

void write_rescue_hit(OutputFile& out, const RescueHit& hit) {
  out.write_int(hit.read_number);
  out.put('\t');
  out.write_int(hit.position);
  out.put('\t');
  out.put(hit.reverse ? '-' : '+');
  out.put('\t');
  out.write(hit.cigar);
  out.put('\t');
  out.write_int(hit.score);
  out.put('\t');
  out.write_int(hit.edit_distance);
  out.put('\t');
  out.write(rescue_kind_name(hit.kind));
  out.put('\t');
  out.put(hit.intron_strand);
  out.put('\n');
}

bool RescueHitReader::next(RescueHit& hit) {
  if (!in_.read_line(line_)) return false;
  ++line_number_;
  std::vector<std::string_view>& f = fields_;
  split_fields(line_, f);
  std::int64_t read = 0, score = 0, edit = 0;
  char strand = '.';
  if (f.size() != 8 || !parse_whole_number(f[0], read) || !parse_whole_number(f[1], hit.position) ||
      !parse_strand(f[2], strand) || strand == '.' || f[3].empty() ||
      !parse_whole_number(f[4], score) || !parse_whole_number(f[5], edit) ||
      !parse_rescue_kind(f[6], hit.kind) || !parse_strand(f[7], hit.intron_strand) ||
      !fits_int(read) || !fits_int(score) || !fits_int(edit))
    throw_bad_line(in_.path(), line_number_, "not a rescued alignment");
  hit.read_number = static_cast<int>(read);
  hit.reverse = strand == '-';
  hit.cigar.assign(f[3]);
  hit.score = static_cast<int>(score);
  hit.edit_distance = static_cast<int>(edit);
  return true;
}

void write_rescue_hint(OutputFile& out, const RescueHint& hint) {
  out.write_int(hint.read_number);
  out.put('\t');
  out.write(hint.chromosome);
  out.put('\t');
  out.write_int(hint.position);
  out.put('\t');
  out.put(hint.reverse ? 'R' : 'F');
  out.put('\n');
}

void for_each_rescue_hint(const std::string& path,
                          const std::function<void(const RescueHint&)>& f) {
  InputFile in(path);
  std::string line;
  std::vector<std::string_view> fields;
  RescueHint hint;
  for (long number = 1; in.read_line(line); ++number) {
    split_fields(line, fields);
    std::int64_t read = 0;
    if (fields.size() != 4 || !parse_whole_number(fields[0], read) || !fits_int(read) ||
        fields[1].empty() || !parse_whole_number(fields[2], hint.position) ||
        (fields[3] != "F" && fields[3] != "R"))
      throw_bad_line(path, number, "not a rescue hint");
    hint.read_number = static_cast<int>(read);
    hint.chromosome.assign(fields[1]);
    hint.reverse = fields[3] == "R";
    f(hint);
  }
}

void write_rescue_output_record(OutputFile& out, const RescueOutputRecord& r) {
  out.write_int(r.read_number);
  out.put('\t');
  out.write(r.chromosome);
  out.put('\t');
  out.write_int(r.position);
  out.put('\t');
  out.put(r.reverse ? '-' : '+');
  out.put('\t');
  out.write(r.cigar);
  out.put('\t');
  out.write_int(r.score);
  out.put('\t');
  out.write_int(r.edit_distance);
  out.put('\t');
  out.write(r.kind);
  out.put('\t');
  out.put(r.intron_strand);
  out.put('\t');
  out.write_int(r.hits);
  out.put('\n');
}

void write_rescue_output_header(OutputFile& out, const std::string& run_number) {
  out.write(kRunNumberHeader);
  out.write(run_number);
  out.write("\n");
}

bool RescueOutputReader::next(RescueOutputRecord& r) {
  if (!in_.read_line(line_)) return false;
  ++line_number_;
  if (line_number_ == 1 && line_.starts_with(kRunNumberHeader)) {
    run_number_ = line_.substr(std::string_view(kRunNumberHeader).size());
    if (!in_.read_line(line_)) return false;
    ++line_number_;
  }
  split_fields(line_, fields_);
  const std::vector<std::string_view>& f = fields_;
  std::int64_t score = 0, edit = 0, hits = 0;
  if (f.size() != 10 || !parse_whole_number(f[0], r.read_number) || r.read_number < 1 ||
      f[1].empty() || !parse_whole_number(f[2], r.position) || r.position < 1 ||
      (f[3] != "+" && f[3] != "-") || f[4].empty() || !parse_whole_number(f[5], score) ||
      !fits_int(score) || !parse_whole_number(f[6], edit) || edit < 0 || !fits_int(edit) ||
      f[7].empty() || !parse_strand(f[8], r.intron_strand) || !parse_whole_number(f[9], hits) ||
      hits < 1 || !fits_int(hits))
    bad_output_line(in_.path(), line_number_, "not a rescued alignment");
  if (r.read_number < last_read_)
    bad_output_line(
        in_.path(), line_number_,
        "read " + std::to_string(r.read_number) + " follows read " + std::to_string(last_read_));
  last_read_ = r.read_number;
  r.chromosome = f[1];
  r.reverse = f[3] == "-";
  r.cigar = f[4];
  r.score = static_cast<int>(score);
  r.edit_distance = static_cast<int>(edit);
  r.kind = f[7];
  r.hits = static_cast<int>(hits);
  return true;
}

}  // namespace quilm
