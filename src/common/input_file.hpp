// Block-buffered reading of a text file. A file that starts with the gzip
// magic bytes is decompressed on the fly, so references and datasets may come
// as .gz; any other file is read as it is. Every file is opened once and read
// front to back, so pipes, FIFOs and standard input ("-") work as files do.
#pragma once

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Fuzz builds set a tiny block, so that short inputs cross buffer refills as
// large files do (and run fast).
#ifndef QUILM_IO_BLOCK
#define QUILM_IO_BLOCK (std::size_t{4} << 20)
#endif

namespace quilm {

// Streams that are scanned once as they are read or written go in blocks
// that stay in the second-level cache between the kernel's copy and the scan.
inline constexpr std::size_t kCacheBlock =
    QUILM_IO_BLOCK < (std::size_t{256} << 10) ? QUILM_IO_BLOCK : (std::size_t{256} << 10);

// The path that stands for standard input.
inline constexpr const char* kStandardInput = "-";

class InputFile {
 public:
  static constexpr std::size_t kDefaultBlock = QUILM_IO_BLOCK;

  // Throws IoError naming the file when it cannot be opened. Nothing is read
  // yet, so opening a pipe consumes none of it.
  explicit InputFile(std::string path, std::size_t block = kDefaultBlock);
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  const std::string& path() const { return path_; }
  // True for a gzip file. Before the first read this reads the first bytes,
  // which stay buffered for the reading that follows.
  bool compressed() { return gzdirect(gz_) == 0; }
  // The share of the file's stored bytes read from it so far (0 to 1, the
  // read-ahead included), for a progress estimate; -1 when its size is
  // unknown (a pipe, standard input).
  double share_read() const;

  // Next byte, or -1 at the end of the file.
  int get() {
    if (pos_ == end_ && !refill()) return -1;
    return static_cast<unsigned char>(buf_[pos_++]);
  }
  // The byte that get() would return, without consuming it.
  int peek() {
    if (pos_ == end_ && !refill()) return -1;
    return static_cast<unsigned char>(buf_[pos_]);
  }
  // One line without its line feed; false at the end of the file. A last
  // line without a line feed is still returned.
  bool read_line(std::string& line);

  // The unread part of the buffer; empty only at the end of the file.
  // consume(n) then marks n of its bytes as read.
  const char* data() {
    if (pos_ == end_) refill();
    return buf_.get() + pos_;
  }
  std::size_t available() const { return end_ - pos_; }
  void consume(std::size_t n) { pos_ += n; }
  bool refill();

  // Offset of the next unread byte (of the decompressed bytes for a gzip
  // file), and a jump to an offset; throws IoError naming the file when the
  // jump fails (a pipe cannot jump).
  std::uint64_t offset() const { return buffer_offset_ + pos_; }
  void seek(std::uint64_t offset);

 private:
  std::string path_;
  gzFile gz_ = nullptr;
  // Not zero-filled: only the bytes the file filled in are read.
  std::unique_ptr<char[]> buf_;
  std::size_t block_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  std::uint64_t buffer_offset_ = 0;  // file offset of buf_[0]
  std::int64_t stored_size_ = -1;    // bytes of a regular file; -1: not one
};

// Throws IoError naming the file, as opening it would, when it cannot be
// read; opens nothing, so that a pipe checked early is not disturbed.
void check_readable(const std::string& path);

// True for standard input, a pipe, a FIFO or a device: an input whose bytes
// can be read only once. False for a regular file, a folder and a path that
// cannot be looked up (opening it reports why).
bool is_one_pass_input(const std::string& path);

// For an input that a program reads twice: throws UsageError naming the
// option (say "-R") and the input (say "reference") when it is one-pass.
void refuse_one_pass_input(const std::string& path, const char* option, const char* what);

// Reads a whole (possibly compressed) file into a string.
std::string read_whole_file(const std::string& path);

}  // namespace quilm
