// The small family of errors that library code throws; each program's main
// turns them into one line on stderr and a non-zero exit status.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>

namespace quilm {

struct Error : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// A command-line option or argument that cannot be used.
struct UsageError : Error {
  using Error::Error;
};

// An input file whose content cannot be used (names the file and record).
struct InputError : Error {
  using Error::Error;
};

// A file that cannot be opened, read, written or closed.
struct IoError : Error {
  using Error::Error;
};

// A failed launch or a worker that did not end cleanly.
struct LaunchError : Error {
  using Error::Error;
};

// "<what> '<path>': <strerror(err)>"
std::string describe_errno(const std::string& what, const std::string& path, int err);

// Throws IoError built from the current errno.
[[noreturn]] void throw_io_error(const std::string& what, const std::string& path);

// Runs a program body and turns an escaping error into
// "<program>: error: <message>" on stderr and exit status 1.
int run_program(const char* program, const std::function<int()>& body);

}  // namespace quilm
