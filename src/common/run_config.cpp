#include "common/run_config.hpp"

#include <cstdio>

#include "common/errors.hpp"
#include "common/output_file.hpp"
#include "common/text_scanner.hpp"

namespace quilm {

void write_run_config(const std::string& path, const RunConfig& c) {
  OutputFile out(path, OutputFile::Mode::kTruncate, 1 << 16);
  for (const std::string* line : {&c.work_folder, &c.ref_path, &c.output_path}) {
    out.write(*line);
    out.put('\n');
  }
  const int twelve[] = {
      c.segment_count,         c.read_count,  c.max_read_length,         c.max_errors,
      c.indel_toggle,          c.seed_length, c.masked_toggle,           c.best_toggle,
      c.unidirectional_toggle, c.cpu_cores,   c.memory_reduction_toggle, c.export_all_toggle};
  for (std::size_t i = 0; i < std::size(twelve); ++i) {
    if (i > 0) out.put(' ');
    out.write_int(twelve[i]);
  }
  out.put('\n');
  if (c.has_splice_line) {
    out.write_int(c.min_gap_distance);
    out.put(' ');
    out.write_int(c.max_gap_distance);
    out.put(' ');
    out.write_int(c.splice_seed_length);
    out.put('\n');
  }
  out.close();
}

namespace {

void read_path_line(InputFile& in, std::string& line, const char* what) {
  if (!in.read_line(line))
    throw InputError("'" + in.path() + "' ends before its " + what + " line");
}

void read_ints(TextScanner& scan, int* const* fields, std::size_t count, const char* what) {
  for (std::size_t i = 0; i < count; ++i) {
    if (scan.read_int(*fields[i]) != Scan::kOk)
      throw InputError("'" + scan.path() + "': the " + what + " line is incomplete or malformed");
  }
}

}  // namespace

RunConfig read_run_config(const std::string& path, bool want_splice_line) {
  InputFile in(path, 1 << 16);
  RunConfig c;
  read_path_line(in, c.work_folder, "work folder");
  read_path_line(in, c.ref_path, "reference");
  read_path_line(in, c.output_path, "output");
  TextScanner scan(in);
  int* const twelve[] = {
      &c.segment_count,         &c.read_count,  &c.max_read_length,         &c.max_errors,
      &c.indel_toggle,          &c.seed_length, &c.masked_toggle,           &c.best_toggle,
      &c.unidirectional_toggle, &c.cpu_cores,   &c.memory_reduction_toggle, &c.export_all_toggle};
  read_ints(scan, twelve, std::size(twelve), "parameter");
  if (want_splice_line) {
    int* const three[] = {&c.min_gap_distance, &c.max_gap_distance, &c.splice_seed_length};
    read_ints(scan, three, std::size(three), "splice parameter");
    c.has_splice_line = true;
  }
  return c;
}

void append_log_line(const std::string& path, std::string_view line) {
  append_text(path, line);
}

void append_stage_result(const std::string& path, const StageResultLine& l) {
  append_log_line(path, "The " + std::to_string(l.seed) + " " + l.stage +
                            " result,match read numeber: " + std::to_string(l.records) +
                            ", multi_match number: " + std::to_string(l.multi) +
                            ",next_match number: " + std::to_string(l.next) +
                            ",match number:" + std::to_string(l.matched) + "\n");
}

std::string format_seconds(double seconds) {
  char text[64];
  std::snprintf(text, sizeof text, "%.1f", seconds);
  return text;
}

}  // namespace quilm
