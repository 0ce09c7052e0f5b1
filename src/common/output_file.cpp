#include "common/output_file.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "common/errors.hpp"

namespace quilm {

OutputFile::OutputFile(std::string path, Mode mode, std::size_t block)
    : path_(std::move(path)), buf_(block) {
  int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (mode == Mode::kAppend ? O_APPEND : O_TRUNC);
  fd_ = ::open(path_.c_str(), flags, 0666);
  if (fd_ < 0) throw_io_error("cannot open for writing", path_);
}

OutputFile::~OutputFile() {
  if (fd_ < 0) return;
  try {
    flush();
  } catch (const IoError&) {
    // Reported by close() when the caller asks; a destructor must not throw.
  }
  ::close(fd_);
}

void OutputFile::write_all(const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd_, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw_io_error("cannot write", path_);
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
}

void OutputFile::flush() {
  if (used_ == 0) return;
  std::size_t n = used_;
  used_ = 0;
  write_all(buf_.data(), n);
}

void OutputFile::write_slow(std::string_view text) {
  write_block(text.data(), text.size());
}

void OutputFile::write_block(const char* data, std::size_t size) {
  if (size <= buf_.size() - used_) {
    write(std::string_view(data, size));
    return;
  }
  flush();
  if (size >= buf_.size()) {
    write_all(data, size);
    return;
  }
  write(std::string_view(data, size));
}

void OutputFile::close() {
  if (fd_ < 0) return;
  flush();
  int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) throw_io_error("cannot close", path_);
}

void create_empty_file(const std::string& path) {
  OutputFile out(path, OutputFile::Mode::kTruncate, 16);
  out.close();
}

void append_text(const std::string& path, std::string_view text) {
  OutputFile out(path, OutputFile::Mode::kAppend, text.size() + 1);
  out.write(text);
  out.close();
}

void write_whole_file(const std::string& path, std::string_view text) {
  OutputFile out(path, OutputFile::Mode::kTruncate, 1 << 16);
  out.write_block(text.data(), text.size());
  out.close();
}

}  // namespace quilm
