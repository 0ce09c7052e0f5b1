// What the fuzz harnesses share: a private scratch folder, the input cut into
// files, and the rule that a thrown quilm::Error is a clean refusal.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "common/errors.hpp"

namespace quilm::fuzz {

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

}  // namespace quilm::fuzz
