// Helpers shared by the test suites: a fresh temporary folder per test,
// whole-file reads and writes, and running a built program.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quilm::test {

// Path of a built program ("quilm2splice", "quilm_x", ...).
std::string program_path(const std::string& name);
// Path below the source tree ("examples/...").
std::string source_path(const std::string& relative);

std::string slurp(const std::string& path);
void spit(const std::string& path, const std::string& text);
bool file_exists(const std::string& path);

// A run log (config.txt) without the values of its time lines, for comparing
// two runs.
std::string without_times(const std::string& config);

struct RunResult {
  int status = -1;  // exit status, or 128 + signal
  std::string out;
  std::string err;
};

// Runs a program with arguments in a folder, capturing stdout and stderr.
RunResult run_program_in(const std::string& folder, const std::string& program,
                         const std::vector<std::string>& args);

// Runs a shell command in a folder with stderr on a new pseudo-terminal (and
// stdout too when `stdout_on_terminal`), without the terminal's line-end
// translation: `err` is all the terminal received, `out` what went to a
// stdout that is not the terminal.
RunResult run_shell_on_terminal(const std::string& folder, const std::string& command,
                                bool stdout_on_terminal);

// Starts a program without waiting for it (stdout and stderr to /dev/null);
// wait_program() then returns its exit status, or 128 + signal.
int start_program_in(const std::string& folder, const std::string& program,
                     const std::vector<std::string>& args);
int wait_program(int pid);

// Writes an executable shell script.
void write_script(const std::string& path, const std::string& body);

// Whether the shell finds a program of that name on the PATH.
bool on_path(const std::string& program);

// A test fixture that gives every test its own empty folder, removed after
// the test unless it failed (then kept for a look).
// A small tmpfs mounted on a new folder, to run programs against a full
// disk; mounting needs root, so tests skip without it. Unmounted at the end.
class SmallDisk {
 public:
  SmallDisk(const std::string& folder, std::size_t bytes);
  ~SmallDisk();
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;
  bool mounted() const { return mounted_; }
  // Takes every free byte with a filler file.
  void fill();
  // Gives the space back.
  void empty();

 private:
  std::string folder_;
  bool mounted_ = false;
};

class TempDirTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::string path(const std::string& name) const { return dir_ + "/" + name; }
  const std::string& dir() const { return dir_; }

 private:
  std::string dir_;
};

}  // namespace quilm::test
