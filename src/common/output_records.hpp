// The two record kinds of a run's six output files.
//
// Mapping output record ("-quilm2high", "-quilm2low", "-quilm2mutil"):
//   "<read number>\t<sequence>\n<strand>\t<chromosome>\t<errors>\t<position>\n"
// Splice output record ("-splice-high", "-splice-low", "-splice-mutil"):
//   "<read number>\t<sequence>\n<strand>\t<chromosome>\t<split>\t<errors>\t<first>\t<second>\n"
// Positions are 0-based chromosome positions; the split offset is the index of
// the first part's last base, and the second part begins split + 1 bases on.
#pragma once

#include <string>

#include "common/input_file.hpp"
#include "common/output_file.hpp"
#include "common/text_scanner.hpp"

namespace quilm {

struct MappingOutputRecord {
  long long read_number = 0;
  std::string sequence;
  char strand = 'F';
  std::string chromosome;
  int errors = 0;
  long long position = 0;
};

struct SpliceOutputRecord {
  long long read_number = 0;
  std::string sequence;
  char strand = 'F';
  std::string chromosome;
  int split = 0;
  int errors = 0;
  long long first = 0;
  long long second = 0;
};

void write_mapping_output_record(OutputFile& out, const MappingOutputRecord& record);

// The eight fields without the closing line feed, so that formats which
// extend the splice output record can append fields of their own.
void write_splice_output_fields(OutputFile& out, const SpliceOutputRecord& record);
void write_splice_output_record(OutputFile& out, const SpliceOutputRecord& record);

// Reads the eight fields the way the scanf format reads them (white space
// between fields is skipped). Callers first check skip_space(), so that kEof
// here means a record cut short.
Scan scan_splice_output_fields(TextScanner& scan, SpliceOutputRecord& record);

// Throws InputError naming the file and the record: "<path>: <kind> record
// <n> is cut short" (status kEof) or "... is malformed".
[[noreturn]] void throw_bad_record(const std::string& path, const char* kind, long record,
                                   Scan status);

class MappingOutputReader {
 public:
  explicit MappingOutputReader(const std::string& path) : in_(path), scan_(in_) {}
  const std::string& path() const { return in_.path(); }
  // False at the end of the file; a malformed or cut-short record throws
  // InputError naming the file and the record.
  bool next(MappingOutputRecord& record);

 private:
  InputFile in_;
  TextScanner scan_;
  long record_ = 0;
};

class SpliceOutputReader {
 public:
  explicit SpliceOutputReader(const std::string& path) : in_(path), scan_(in_) {}
  const std::string& path() const { return in_.path(); }
  bool next(SpliceOutputRecord& record);

 private:
  InputFile in_;
  TextScanner scan_;
  long record_ = 0;
};

}  // namespace quilm
