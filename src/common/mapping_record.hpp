// The mapping result record that the seed-mapping worker writes into each
// segment's "<k>.r" and the driver's result combination reads:
//   "<read number>\t<sequence>\n<strand>\t<count>\t<errors>\t<position>\n"
// with strand 'F' or 'R', count always 1 and a 0-based segment position.
#pragma once

#include <string>
#include <string_view>

#include "common/input_file.hpp"
#include "common/output_file.hpp"
#include "common/text_scanner.hpp"

namespace quilm {

struct MappingRecord {
  int read_number = 0;
  std::string sequence;
  char strand = 'F';
  int count = 1;
  int errors = 0;
  int position = 0;
};

inline void write_mapping_record(OutputFile& out, int read_number, std::string_view sequence,
                                 char strand, int errors, int position) {
  out.write_int(read_number);
  out.put('\t');
  out.write(sequence);
  out.put('\n');
  out.put(strand);
  out.write("\t1\t");
  out.write_int(errors);
  out.put('\t');
  out.write_int(position);
  out.put('\n');
}

class MappingRecordReader {
 public:
  explicit MappingRecordReader(const std::string& path) : in_(path), scan_(in_) {}
  const std::string& path() const { return in_.path(); }
  // False at the end of the file; a malformed or cut-short record throws
  // InputError naming the file and the record.
  bool next(MappingRecord& record);

 private:
  InputFile in_;
  TextScanner scan_;
  long record_ = 0;
};

}  // namespace quilm
