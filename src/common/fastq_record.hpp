// The common shape of a FASTQ record, taken in one step straight from the
// input buffer. Readers that follow the word-by-word rules fall back to them
// for everything else.
#pragma once

#include <string_view>

#include "common/input_file.hpp"

namespace quilm {

struct PlainFastqRecord {
  std::string_view header;  // the whole first line, '@' included
  std::string_view sequence;
  std::string_view separator;
  std::string_view quality;
};

// Takes the next record when its four lines lie wholly in the input buffer,
// the header starts with '@' and the separator with '+', and the last three
// lines are non-empty and hold no white space: such a record reads exactly as
// header-to-line-end plus three words would read it. Otherwise consumes
// nothing and returns false. The views live until the next read of `in`.
bool take_plain_fastq_record(InputFile& in, PlainFastqRecord& record);

}  // namespace quilm
