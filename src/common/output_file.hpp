// Block-buffered writing with every write, flush and close checked: a full
// disk or an I/O error becomes an IoError that names the file.
#pragma once

#include <charconv>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Fuzz builds set a tiny block, so that short inputs cross buffer refills as
// large files do (and run fast).
#ifndef QUILM_IO_BLOCK
#define QUILM_IO_BLOCK (std::size_t{4} << 20)
#endif

namespace quilm {

class OutputFile {
 public:
  // kTruncate and kAppend refuse a symbolic link in place of the file;
  // kTruncateThroughLinks is for a file the user named (/dev/stdout).
  enum class Mode { kTruncate, kAppend, kTruncateThroughLinks };
  static constexpr std::size_t kDefaultBlock = QUILM_IO_BLOCK;

  explicit OutputFile(std::string path, Mode mode = Mode::kTruncate,
                      std::size_t block = kDefaultBlock);
  // Flushes what is left; errors there cannot be reported, so callers that
  // care call close() first.
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  const std::string& path() const { return path_; }

  void write(std::string_view text) {
    if (text.size() > block_ - used_) {
      write_slow(text);
      return;
    }
    text.copy(buf_.get() + used_, text.size());
    used_ += text.size();
  }
  void put(char c) {
    if (used_ == block_) flush();
    buf_[used_++] = c;
  }
  void write_int(long long value) {
    char tmp[24];
    auto res = std::to_chars(tmp, tmp + sizeof tmp, value);
    write(std::string_view(tmp, static_cast<std::size_t>(res.ptr - tmp)));
  }
  // Writes a block that may exceed the buffer, in one system call when large.
  void write_block(const char* data, std::size_t size);

  void flush();
  void close();

 private:
  void write_slow(std::string_view text);
  void write_all(const char* data, std::size_t size);

  std::string path_;
  int fd_ = -1;
  // Not zero-filled: only the bytes before used_ are ever read.
  std::unique_ptr<char[]> buf_;
  std::size_t block_;
  std::size_t used_ = 0;
};

// Creates or empties a file.
void create_empty_file(const std::string& path);

// Creates a file when it does not exist; an existing one is left as it is.
void create_file_if_missing(const std::string& path);

// Appends one line of text to a file and closes it again (the run log).
void append_text(const std::string& path, std::string_view text);

// Writes a whole file at once.
void write_whole_file(const std::string& path, std::string_view text);

}  // namespace quilm
