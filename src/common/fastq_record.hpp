// The common shape of a FASTQ record, taken in one step straight from the
// input buffer. Readers that follow the word-by-word rules fall back to them
// for everything else.
#pragma once

#include <string>
#include <string_view>

#include "common/input_file.hpp"
#include "common/text_scanner.hpp"

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

// Readers that take the sequence as a word meet the separator line there when
// a read has length 0 (trimmers write "@r\n\n+\n\n"); bases never begin
// with '+'.
inline bool is_separator_word(std::string_view word) {
  return !word.empty() && word[0] == '+';
}

// After the separator word of a read of length 0: consumes the rest of the
// separator line and the quality line after it, and leaves that line's first
// word in `quality`. It is empty for a sound record, and also when the file
// ends after the separator; anything else is quality without bases.
void read_empty_read_quality(TextScanner& scan, std::string& quality);

// The three words of a record after its header line: sequence, separator
// and quality; false when the file ends before them. For a read of length 0
// the sequence comes back empty and the quality as read_empty_read_quality
// leaves it.
bool read_fastq_words(TextScanner& scan, std::string& sequence, std::string& separator,
                      std::string& quality);

// Read bases are letters, not masking: every reader of a dataset takes
// them in upper case, so that a FASTQ written in lower case maps, and is
// written back, as its upper-case twin. Changes a-z alone.
void upper_case_bases(std::string& bases);

// `bases` itself when it holds no lower-case letter; else its upper-case
// copy, held in `buffer`.
std::string_view upper_case_bases(std::string_view bases, std::string& buffer);

// The name of a read as the two mates of a pair share it: the first word
// of the header (without a leading '@'), without a trailing "/1" or "/2".
std::string_view mate_name(std::string_view header);

// The same for a name that is already the header's first word.
inline std::string_view without_mate_suffix(std::string_view name) {
  const std::size_t n = name.size();
  if (n >= 2 && name[n - 2] == '/' && (name[n - 1] == '1' || name[n - 1] == '2'))
    name.remove_suffix(2);
  return name;
}

}  // namespace quilm
