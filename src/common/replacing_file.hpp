// Writing a file's new contents over its old ones without touching bytes
// that are already in place: while what is written equals what the file
// holds, it is only compared; from the first difference on it is written.
// A rerun that cuts the same reference the same way thus reads its big work
// files instead of writing them again, and leaves them (and their times) as
// they were. Every read, write and the closing size change are checked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quilm {

class ReplacingFile {
 public:
  // Opens or creates `path`; a symbolic link in its place is refused.
  explicit ReplacingFile(std::string path);
  ~ReplacingFile();
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  const std::string& path() const { return path_; }

  void write_block(const char* data, std::size_t size);
  // Cuts off old bytes beyond what was written and closes the file.
  void close();
  // True when the file held exactly the bytes written (known after close).
  bool unchanged() const { return unchanged_; }

 private:
  bool matches(const char* data, std::size_t size);
  void write_at(const char* data, std::size_t size);

  std::string path_;
  int fd_ = -1;
  std::int64_t old_size_ = 0;
  std::int64_t offset_ = 0;
  bool comparing_ = true;
  bool unchanged_ = false;
  std::vector<char> old_bytes_;
};

}  // namespace quilm
