#include "common/output_file.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "common/errors.hpp"

namespace quilm {

namespace {

[[noreturn]] void throw_open_error(const std::string& path) {
  if (errno == ELOOP)
    throw IoError("cannot open for writing '" + path +
                  "': it is a symbolic link, which is not followed");
  throw_io_error("cannot open for writing", path);
}

}  // namespace

OutputFile::OutputFile(std::string path, Mode mode, std::size_t block)
    : path_(std::move(path)), buf_(new char[block]), block_(block) {
  // A symbolic link planted where a file is to be written would redirect
  // the write (work folders may be shared): it is refused, not followed.
  int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (mode == Mode::kAppend ? O_APPEND : O_TRUNC);
  if (mode != Mode::kTruncateThroughLinks) flags |= O_NOFOLLOW;
  fd_ = ::open(path_.c_str(), flags, 0666);
  if (fd_ < 0) throw_open_error(path_);
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
  write_all(buf_.get(), n);
}

void OutputFile::write_slow(std::string_view text) {
  write_block(text.data(), text.size());
}

void OutputFile::write_block(const char* data, std::size_t size) {
  if (size <= block_ - used_) {
    write(std::string_view(data, size));
    return;
  }
  flush();
  if (size >= block_) {
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

void create_file_if_missing(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) throw_open_error(path);
  if (::close(fd) != 0) throw_io_error("cannot close", path);
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
