// The files of the rescue stage in the work folder, one writer and one
// reader each:
//   "<k>.r" of the rescue workers, one line per alignment of a read on
//   segment k, all the read's best alignments of that segment:
//     "<read>\t<position>\t<strand>\t<cigar>\t<score>\t<edit distance>\t<kind>\t<intron strand>\n"
//   <position> is the 0-based segment base of the first aligned read base,
//   <strand> '+' (the read) or '-' (its reverse complement is aligned),
//   <kind> a rescue kind name, <intron strand> '+', '-' or '.'.
//
//   "rescue_hints.txt", the one best hit of each read to rescue that has a
//   single contiguous best hit: "<read>\t<chromosome>\t<position>\t<strand>\n"
//   (0-based position, strand F or R as in the mapping output), so that a
//   worker can pass over a read that fits it as nothing could beat.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/input_file.hpp"
#include "common/output_file.hpp"
#include "common/rescue_scoring.hpp"
#include "common/work_files.hpp"

namespace quilm {

// At most this many equally good alignments of a read are kept.
inline constexpr std::size_t kMaxRescueHits = 8;

struct RescueHit {
  int read_number = 0;
  std::int64_t position = 0;
  bool reverse = false;
  std::string cigar;
  int score = 0;
  int edit_distance = 0;
  RescueKind kind = RescueKind::kMismatch;
  char intron_strand = '.';
};

void write_rescue_hit(OutputFile& out, const RescueHit& hit);

class RescueHitReader {
 public:
  explicit RescueHitReader(const std::string& path) : in_(path) {}
  // False at the end; a malformed line throws InputError naming the file
  // and the line.
  bool next(RescueHit& hit);

 private:
  InputFile in_;
  std::string line_;
  std::vector<std::string_view> fields_;
  long line_number_ = 0;
};

// "<output>-rescue", the run's rescued alignments for the export, one line
// per alignment by ascending read number:
// "<read>\t<chromosome>\t<position>\t<strand>\t<CIGAR>\t<score>\t
//  <edit distance>\t<kind>\t<intron strand>\t<alignments of the read>\n"
// with a 1-based position, strand '+' or '-'. The text fields are views:
// into the writer's data, or into the reader's line until its next call.
struct RescueOutputRecord {
  std::int64_t read_number = 0;
  std::string_view chromosome;
  std::int64_t position = 0;
  bool reverse = false;
  std::string_view cigar;
  int score = 0;
  int edit_distance = 0;
  std::string_view kind;
  char intron_strand = '.';
  int hits = 1;
};

void write_rescue_output_record(OutputFile& out, const RescueOutputRecord& record);

// The file's first line, "#run\t<run number>": the run whose six files the
// alignments improve on (see run_stamp.hpp).
void write_rescue_output_header(OutputFile& out, const std::string& run_number);

class RescueOutputReader {
 public:
  explicit RescueOutputReader(const std::string& path) : in_(path) {}
  const std::string& path() const { return in_.path(); }
  long line() const { return line_number_; }
  // The run number of the header line; empty for a file without one (as
  // written before runs were stamped). Known after the first next().
  const std::string& run_number() const { return run_number_; }
  // False at the end. Throws InputError naming the file and line for a
  // line whose fields are not those above (the CIGAR and the chromosome
  // are left to the reader's caller), or that breaks the read order.
  bool next(RescueOutputRecord& record);

 private:
  InputFile in_;
  std::string line_;
  std::vector<std::string_view> fields_;
  long line_number_ = 0;
  std::int64_t last_read_ = 0;
  std::string run_number_;
};

struct RescueHint {
  int read_number = 0;
  std::string chromosome;
  std::int64_t position = 0;
  bool reverse = false;
};

void write_rescue_hint(OutputFile& out, const RescueHint& hint);
// Calls f(hint) for every line; throws InputError naming the file and line
// for a malformed one.
void for_each_rescue_hint(const std::string& path, const std::function<void(const RescueHint&)>& f);

}  // namespace quilm
