// The numbered read file: one line "<read number>\t<sequence>\n" per read.
// It carries the reads of every mapping cycle and of the splice stage.
#pragma once

#include <string>
#include <string_view>

#include "common/input_file.hpp"
#include "common/output_file.hpp"
#include "common/text_scanner.hpp"

namespace quilm {

struct NumberedRead {
  int number = 0;
  std::string sequence;
};

class NumberedReadReader {
 public:
  explicit NumberedReadReader(const std::string& path) : in_(path), scan_(in_) {}
  const std::string& path() const { return in_.path(); }
  // The next record; false at the end of the file. A malformed record throws
  // InputError naming the file and the record.
  bool next(NumberedRead& read);

 private:
  InputFile in_;
  TextScanner scan_;
  long record_ = 0;
};

inline void write_numbered_read(OutputFile& out, int number, std::string_view sequence) {
  out.write_int(number);
  out.put('\t');
  out.write(sequence);
  out.put('\n');
}

}  // namespace quilm
