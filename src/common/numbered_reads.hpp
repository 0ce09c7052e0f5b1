// The numbered read file: one line "<read number>\t<sequence>\n" per read.
// It carries the reads of every mapping cycle and of the splice stage.
#pragma once

#include <cstdint>
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

// Slice `index` (0-based) of `count` of a read file of `size` bytes: the
// records whose line starts in [index * size / count, (index + 1) * size /
// count); the last slice runs to the end of the file. The slices of one count
// cut the file at line starts only, so every record lies in exactly one of
// them, and each process can find its slice from the file size alone.
struct ReadSlice {
  int index = 0;
  int count = 1;
};

// The byte range [begin, end) of a slice: both are line starts (or the end
// of the file); end is UINT64_MAX for the last slice. Throws IoError naming
// the file when it cannot be read, UsageError for an invalid slice.
struct ByteRange {
  std::uint64_t begin = 0;
  std::uint64_t end = UINT64_MAX;
};
ByteRange slice_byte_range(const std::string& path, ReadSlice slice);

class NumberedReadReader {
 public:
  // Reads the whole file, or only the records of one slice of it.
  explicit NumberedReadReader(const std::string& path, ReadSlice slice = {});
  const std::string& path() const { return in_.path(); }
  // The next record; false at the end of the file or of the slice. A
  // malformed record throws InputError naming the file and the record.
  bool next(NumberedRead& read);

 private:
  InputFile in_;
  TextScanner scan_;
  std::uint64_t end_ = UINT64_MAX;
  std::string where_;  // names the slice in messages
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
