// Reading of the system's text records the way a scanf format reads them: a
// blank in the format skips any run of white space, %d and %s skip white
// space first, %c takes the next byte as it is. Every record reader of the
// system is built from these few steps.
#pragma once

#include <array>
#include <string>

#include "common/input_file.hpp"

namespace quilm {

enum class Scan { kOk, kEof, kNoMatch };

// The white space of scanf: blank, tab, line feed, vertical tab, form feed,
// carriage return.
inline constexpr std::array<bool, 256> kSpace = [] {
  std::array<bool, 256> t{};
  for (unsigned char c : {' ', '\t', '\n', '\v', '\f', '\r'}) t[c] = true;
  return t;
}();

inline bool is_space(int c) {
  return c >= 0 && kSpace[static_cast<unsigned char>(c)];
}

class TextScanner {
 public:
  explicit TextScanner(InputFile& in) : in_(in) {}

  const std::string& path() const { return in_.path(); }

  // Skips white space; false when the end of the file follows.
  bool skip_space();
  // %d into a 64-bit value (callers narrow it): optional sign, digits.
  Scan read_long(long long& value);
  Scan read_int(int& value);
  // %lf
  Scan read_double(double& value);
  // %s: a run of non-blank bytes.
  Scan read_word(std::string& word);
  // %c: the next byte, blank or not.
  Scan read_char(char& c);
  // %[^\n]: the bytes up to the line feed, which stays unread; kNoMatch when
  // the line is empty.
  Scan read_to_line_end(std::string& text);
  // The end of a record's line: blanks, then a line feed, which is consumed.
  // kEof when the file ends first (a record cut short), kNoMatch when
  // anything else follows.
  Scan read_line_end();
  // Skips blanks within the line (blank, tab, carriage return); true when a
  // line feed, which stays unread, or the end of the file follows.
  bool at_line_end();
  // The rest of the line, line feed consumed; false at the end of the file.
  bool read_line(std::string& line) { return in_.read_line(line); }
  bool at_eof() { return in_.peek() < 0; }

 private:
  InputFile& in_;
};

}  // namespace quilm
