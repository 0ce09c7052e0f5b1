#include "common/rescue_record.hpp"

#include <charconv>
#include <climits>

#include "common/errors.hpp"
#include "common/run_stamp.hpp"

namespace quilm {

namespace {

[[noreturn]] void bad_line(const std::string& path, long line, const std::string& why) {
  throw InputError("'" + path + "' line " + std::to_string(line) + ": " + why);
}

// The export's messages name the file as what it is.
[[noreturn]] void bad_output_line(const std::string& path, long line, const std::string& why) {
  throw InputError("rescued alignments '" + path + "' line " + std::to_string(line) + ": " + why);
}

bool fits_int(std::int64_t value) {
  return value >= INT_MIN && value <= INT_MAX;
}

bool parse_strand(std::string_view field, char& strand) {
  if (field.size() != 1 || (field[0] != '+' && field[0] != '-' && field[0] != '.')) return false;
  strand = field[0];
  return true;
}

}  // namespace

bool parse_rescue_kind(std::string_view name, RescueKind& kind) {
  for (int k = 0; k < kRescueKinds; ++k) {
    if (kRescueKindNames[k] != name) continue;
    kind = static_cast<RescueKind>(k);
    return true;
  }
  return false;
}

void split_fields(std::string_view line, std::vector<std::string_view>& fields) {
  fields.clear();
  std::size_t start = 0;
  while (true) {
    const std::size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string_view::npos ? tab : tab - start));
    if (tab == std::string_view::npos) return;
    start = tab + 1;
  }
}

bool parse_number(std::string_view field, std::int64_t& value) {
  const char* end = field.data() + field.size();
  const auto [ptr, ec] = std::from_chars(field.data(), end, value);
  return ec == std::errc() && ptr == end && !field.empty();
}

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
  if (f.size() != 8 || !parse_number(f[0], read) || !parse_number(f[1], hit.position) ||
      !parse_strand(f[2], strand) || strand == '.' || f[3].empty() || !parse_number(f[4], score) ||
      !parse_number(f[5], edit) || !parse_rescue_kind(f[6], hit.kind) ||
      !parse_strand(f[7], hit.intron_strand) || !fits_int(read) || !fits_int(score) ||
      !fits_int(edit))
    bad_line(in_.path(), line_number_, "not a rescued alignment");
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
    if (fields.size() != 4 || !parse_number(fields[0], read) || !fits_int(read) ||
        fields[1].empty() || !parse_number(fields[2], hint.position) ||
        (fields[3] != "F" && fields[3] != "R"))
      bad_line(path, number, "not a rescue hint");
    hint.read_number = static_cast<int>(read);
    hint.chromosome.assign(fields[1]);
    hint.reverse = fields[3] == "R";
    f(hint);
  }
}

void write_junction_file(const std::string& path,
                         const std::vector<ChromosomeJunction>& junctions) {
  OutputFile out(path);
  for (const ChromosomeJunction& j : junctions) {
    out.write(j.chromosome);
    out.put('\t');
    out.write_int(j.first);
    out.put('\t');
    out.write_int(j.last);
    out.put('\t');
    out.put(j.strand);
    out.put('\n');
  }
  out.close();
}

std::vector<ChromosomeJunction> read_junction_file(const std::string& path) {
  InputFile in(path);
  std::vector<ChromosomeJunction> junctions;
  std::string line;
  std::vector<std::string_view> f;
  for (long number = 1; in.read_line(line); ++number) {
    split_fields(line, f);
    ChromosomeJunction j;
    if (f.size() != 4 || f[0].empty() || !parse_number(f[1], j.first) ||
        !parse_number(f[2], j.last) || !parse_strand(f[3], j.strand) || j.first > j.last)
      bad_line(path, number, "not a junction line");
    j.chromosome.assign(f[0]);
    junctions.push_back(std::move(j));
  }
  return junctions;
}

}  // namespace quilm

namespace quilm {

std::int64_t cigar_reference_length(std::string_view cigar) {
  std::int64_t total = 0, number = 0;
  for (const char c : cigar) {
    if (c >= '0' && c <= '9') {
      number = number * 10 + (c - '0');
      continue;
    }
    if (c == 'M' || c == 'D' || c == 'N' || c == '=' || c == 'X') total += number;
    number = 0;
  }
  return total;
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
  if (f.size() != 10 || !parse_number(f[0], r.read_number) || r.read_number < 1 || f[1].empty() ||
      !parse_number(f[2], r.position) || r.position < 1 || (f[3] != "+" && f[3] != "-") ||
      f[4].empty() || !parse_number(f[5], score) || !fits_int(score) || !parse_number(f[6], edit) ||
      edit < 0 || !fits_int(edit) || f[7].empty() || !parse_strand(f[8], r.intron_strand) ||
      !parse_number(f[9], hits) || hits < 1 || !fits_int(hits))
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
