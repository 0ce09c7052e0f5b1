// Rules for the text of a reference FASTA that every reader of it shares:
// which bytes of a sequence line are layout rather than bases, and which
// sequence names a SAM header can declare.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quilm {

// Blanks and tabs in a sequence line are skipped as line breaks are (a
// trailing blank is a common slip of editors and converters); taking them as
// bases would shift every later position of the chromosome.
inline bool is_line_blank(char c) {
  return c == ' ' || c == '\t';
}

// Bytes of a sequence line that are no bases: line feed, carriage return,
// blank and tab.
inline bool is_layout_byte(char c) {
  return c == '\n' || c == '\r' || is_line_blank(c);
}

// The warning text for `count` (> 0) blanks and tabs skipped in the
// sequence lines of `path`.
std::string skipped_blanks_warning(const std::string& path, std::int64_t count);

// Empty when `name` can be a SAM reference name (first byte from
// [0-9A-Za-z!#$%&+./:;?@^_|~-], the others also '*' or '='); else what is
// wrong with it, as a phrase that follows the quoted name ("is '*', ...").
std::string sam_reference_name_problem(std::string_view name);

// `name` with each byte outside printable ASCII written as \xHH, for messages.
std::string printable_name(std::string_view name);

}  // namespace quilm
