// The long options of a program, as its --help text lists them, and the
// pass over a command line that every program makes before its own parser:
// "--name value" becomes "--name=value", and an option the program does not
// know is refused with the closest one it does.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quilm {

struct LongOption {
  std::string name;  // without the dashes: "mates"
  bool takes_value = false;
};

// Every long option that starts a line of a help text ("  --mates=<file>
// ..." takes a value, "  --rescue ..." does not), in the order listed. So an
// option is known as soon as it has its help line.
std::vector<LongOption> long_options_in_help(std::string_view help);

// The number of single-letter insertions, deletions and substitutions that
// turn one text into the other.
std::size_t edit_distance(std::string_view a, std::string_view b);

// The arguments (without the program's name) with each "--name value" of an
// option that takes a value joined into "--name=value". Throws UsageError for
// an unknown long option (naming the closest known one when one is close),
// for a value that is missing or would be the next option (an argument that
// begins with '-'), and for a value given to an option that takes none.
// "--help" and "--version" are always known; arguments that do not begin
// with "--", and a lone "--", are left to the program.
std::vector<std::string> join_long_option_values(const std::vector<std::string>& args,
                                                 const std::vector<LongOption>& known);

}  // namespace quilm
