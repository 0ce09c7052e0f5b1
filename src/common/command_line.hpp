// What every program does with its command line before its own options:
// --help and --version, which win over everything else.
#pragma once

#include <functional>
#include <string>

namespace quilm {

// Runs a program. When --help or --version stands anywhere on the command
// line (the first of them counts), it is answered on stdout (the help text,
// or "<program> <version>") and nothing else is read or done. Otherwise the
// body runs as the two-argument run_program runs it.
int run_program(const char* program, const std::string& help, int argc, const char* const* argv,
                const std::function<int()>& body);

}  // namespace quilm
