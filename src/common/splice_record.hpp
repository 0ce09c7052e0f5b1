// The splice result record that the splice worker writes into each segment's
// "<k>.r" and the driver's splice combination reads back:
//   "<read number>\t<sequence>\t<signals>\n<strand>\t<split>\t<errors>\t<first>\t<second>\n"
// <sequence> is the read as read, <signals> one digit per base of the sequence
// that was split (the read, or its reverse complement), <split> the 0-based
// index of the first part's last base, <first> and <second> the 0-based
// segment positions at which that sequence's first base lies for each part.
#pragma once

#include <string>
#include <string_view>

#include "common/input_file.hpp"
#include "common/output_file.hpp"
#include "common/text_scanner.hpp"

namespace quilm {

struct SpliceRecord {
  int read_number = 0;
  std::string sequence;
  std::string signals;
  char strand = 'F';
  int split = 0;
  int errors = 0;
  int first_position = 0;
  int second_position = 0;
};

inline void write_splice_record(OutputFile& out, int read_number, std::string_view sequence,
                                std::string_view signals, char strand, int split, int errors,
                                int first_position, int second_position) {
  out.write_int(read_number);
  out.put('\t');
  out.write(sequence);
  out.put('\t');
  out.write(signals);
  out.put('\n');
  out.put(strand);
  out.put('\t');
  out.write_int(split);
  out.put('\t');
  out.write_int(errors);
  out.put('\t');
  out.write_int(first_position);
  out.put('\t');
  out.write_int(second_position);
  out.put('\n');
}

class SpliceRecordReader {
 public:
  explicit SpliceRecordReader(const std::string& path) : in_(path), scan_(in_) {}
  const std::string& path() const { return in_.path(); }
  // False at the end of the file; a malformed or cut-short record throws
  // InputError naming the file and the record.
  bool next(SpliceRecord& record);

 private:
  InputFile in_;
  TextScanner scan_;
  long record_ = 0;
};

}  // namespace quilm
