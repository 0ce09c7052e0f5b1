// What the export writes about where its records come from: the read group
// that labels them and the command lines of the @PG header lines. The
// drivers take these options and hand them to quilm2sam, which takes the
// same ones, so both sides share the names and the checks.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quilm {

// --rg-id=<id>: an @RG line with this ID and an RG:Z tag on every record.
inline constexpr std::string_view kReadGroupIdOption = "--rg-id=";
// --rg=<TAG:VALUE>, repeatable: more fields of the @RG line, in order.
inline constexpr std::string_view kReadGroupFieldOption = "--rg=";
// --pg-cl=<command line>: the driver's command line, for the @PG line of
// the run that quilm2sam's own @PG line follows.
inline constexpr std::string_view kRunCommandOption = "--pg-cl=";

struct ReadGroup {
  std::string id;  // empty: no read group
  bool id_given = false;
  std::vector<std::string> fields;  // "TAG:VALUE" as given
};

// Takes the argument into `group` when it is one of the two read-group
// options (a later --rg-id replaces an earlier one); false for any other.
bool take_read_group_option(std::string_view arg, ReadGroup& group);

// Empty when the read group can be written; else what is wrong, naming the
// option: an empty ID, a field without an ID, a TAG other than two characters
// [A-Za-z][A-Za-z0-9] (or ID itself) or given twice, a value that is empty
// or holds a tab, a line break or another control character.
std::string read_group_problem(const ReadGroup& group);

// The arguments joined by single spaces, as the @PG CL field shows them.
std::string command_line_of(int argc, const char* const* argv);

}  // namespace quilm
