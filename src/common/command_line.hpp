// What every program does with its command line around its own options:
// --help and --version, which win over everything else, and one warning on
// stderr for each argument that a program skips.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quilm {

// Runs a program. When --help or --version stands anywhere on the command
// line (the first of them counts), it is answered on stdout (the help text,
// or "<program> <version>") and nothing else is read or done. Otherwise the
// body runs as the two-argument run_program runs it.
int run_program(const char* program, const std::string& help, int argc, const char* const* argv,
                const std::function<int()>& body);

// The same for a main's own argc and argv, which the body reads: before it
// runs, every "--name value" of an option that the help text lists with a
// value is joined into "--name=value", and argc and argv are pointed at the
// joined arguments (see long_options.hpp). An unknown long option, or one
// whose value is missing, ends the program with one line on stderr. The
// long options known are those of `options_text` when given (a program that
// refuses some listed options with a message of its own lists them there),
// else those of the help text.
int run_program(const char* program, const std::string& help, int& argc, char**& argv,
                const std::function<int()>& body, const std::string& options_text = {});

// "<program>: warning: <message>" on stderr, stdout flushed first so that
// the two streams interleave in the order they were written.
void print_warning(const char* program, const std::string& message);

// "option -p4 is not known and is ignored"
std::string unknown_option_warning(std::string_view argument);

// "<message>\n<help>", for a UsageError that shows the help text.
std::string with_help(const std::string& message, const std::string& help);

// For the "-<letter><value>" parsers of the side tools, which skip what they
// do not use: warns about each argument that names a letter outside
// `letters` or is no option at all, and throws UsageError with the help text
// for a long option ("--name"), since none of those is known to them.
void warn_skipped_arguments(const char* program, int argc, const char* const* argv,
                            std::string_view letters, const std::string& help);

// For those parsers: the value of each letter of `letters` ("-F<value>", the
// rest of the argument, maybe empty; the last one given counts), in the
// order of `letters`; no value for a letter that is not given.
std::vector<std::optional<std::string>> letter_option_values(int argc, const char* const* argv,
                                                             std::string_view letters);

}  // namespace quilm
