// The numbered read file: one line "<read number>\t<sequence>\n" per read.
// It carries the reads of every mapping cycle and of the splice stage.
#pragma once

#include <exception>
#include <span>
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

// Reads up to slots.size() records into slots[i].read; returns how many. A
// malformed record does not throw here: its error is left in `failure`, so
// that the caller can first finish the reads before it, then raise it.
template <class Slot>
std::size_t read_batch(NumberedReadReader& reader, std::span<Slot> slots,
                       std::exception_ptr& failure) {
  std::size_t count = 0;
  try {
    while (count < slots.size() && reader.next(slots[count].read)) ++count;
  } catch (...) {
    failure = std::current_exception();
  }
  return count;
}

inline void write_numbered_read(OutputFile& out, int number, std::string_view sequence) {
  out.write_int(number);
  out.put('\t');
  out.write(sequence);
  out.put('\n');
}

}  // namespace quilm
