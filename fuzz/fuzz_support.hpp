// What the fuzz harnesses share: a private scratch folder, the input cut into
// files, the rule that a thrown quilm::Error is a clean refusal, and the
// check that turns a broken property into a crash the fuzzer reports.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "common/errors.hpp"

namespace quilm::fuzz {

// Reports a property that does not hold (a fault, not a refusal of bad
// input) and aborts, so that the fuzzer keeps the input that shows it.
[[noreturn]] inline void check_failed(const char* condition, const std::string& what,
                                      const char* file, int line) {
  std::fflush(stdout);
  std::fprintf(stderr, "%s:%d: fuzz check failed: %s\n  (%s)\n", file, line, what.c_str(),
               condition);
  std::abort();
}

#define QUILM_FUZZ_CHECK(condition, what)                                                \
  do {                                                                                   \
    if (!(condition)) ::quilm::fuzz::check_failed(#condition, what, __FILE__, __LINE__); \
  } while (false)

// A fresh folder under the temporary folder ($TMPDIR), made the current
// directory for its lifetime (routines append to ./config.txt) and removed
// with its content afterwards, so that no input sees another's files.
class ScratchDir {
 public:
  ScratchDir() : previous_(std::filesystem::current_path()) {
    std::string pattern = (std::filesystem::temp_directory_path() / "quilm-fuzz-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a scratch folder");
    path_ = pattern;
    std::filesystem::current_path(path_);
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::current_path(previous_, ec);
    std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  std::string file(std::string_view name) const { return (path_ / name).string(); }
  const std::string folder() const { return path_.string(); }

 private:
  std::filesystem::path previous_;
  std::filesystem::path path_;
};

inline void write_file(const std::string& path, std::string_view content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

// The bytes of a file as stored (no decompression); empty when it is missing.
inline std::string file_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::string_view as_text(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// The input cut at every line "====" into `parts` pieces: the last piece keeps
// the rest, pieces beyond the input are empty.
inline std::vector<std::string_view> split_parts(std::string_view input, std::size_t parts) {
  constexpr std::string_view kMark = "====\n";
  std::vector<std::string_view> out;
  while (out.size() + 1 < parts) {
    const std::size_t at = input.find(kMark);
    if (at == std::string_view::npos) break;
    out.push_back(input.substr(0, at));
    input.remove_prefix(at + kMark.size());
  }
  out.push_back(input);
  out.resize(parts);
  return out;
}

// Runs `body`; an error of the project's family is an accepted refusal of
// bad input, anything else escapes and fails the run.
template <typename Body>
void refuse_cleanly(Body&& body) {
  try {
    body();
  } catch (const quilm::Error&) {
  }
}

// Runs `body` over files that the project itself wrote: a refusal there is
// a fault of a writer or of its reader, reported with the reader's message.
template <typename Body>
auto read_own(Body&& body) -> decltype(body()) {
  try {
    return body();
  } catch (const quilm::Error& e) {
    check_failed("reading back what the project wrote", e.what(), __FILE__, __LINE__);
  }
}

}  // namespace quilm::fuzz
