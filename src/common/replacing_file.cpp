#include "common/replacing_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "common/errors.hpp"

namespace quilm {

namespace {

// Compared a piece at a time, so that a block of any size needs no buffer
// of its size.
constexpr std::size_t kComparePiece = std::size_t{1} << 20;

}  // namespace

ReplacingFile::ReplacingFile(std::string path) : path_(std::move(path)) {
  fd_ = ::open(path_.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
  const bool existed = fd_ >= 0;
  if (!existed && errno == ENOENT)
    fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
  if (fd_ < 0) {
    if (errno == ELOOP)
      throw IoError("cannot open for writing '" + path_ +
                    "': it is a symbolic link, which is not followed");
    throw_io_error("cannot open for writing", path_);
  }
  struct stat st {};
  if (::fstat(fd_, &st) != 0) throw_io_error("cannot read the size of", path_);
  old_size_ = S_ISREG(st.st_mode) ? static_cast<std::int64_t>(st.st_size) : 0;
  comparing_ = existed && S_ISREG(st.st_mode);
}

// Left without close() (an error on the way): a file that was being written
// keeps only the new bytes, never new ones followed by stale old ones.
ReplacingFile::~ReplacingFile() {
  if (fd_ < 0) return;
  if (!comparing_ && offset_ < old_size_) static_cast<void>(::ftruncate(fd_, offset_));
  ::close(fd_);
}

// True while the old bytes at the current offset equal `data`.
bool ReplacingFile::matches(const char* data, std::size_t size) {
  if (offset_ + static_cast<std::int64_t>(size) > old_size_) return false;
  old_bytes_.resize(std::min(size, kComparePiece));
  std::size_t done = 0;
  while (done < size) {
    const std::size_t want = std::min(size - done, kComparePiece);
    ssize_t n = ::pread(fd_, old_bytes_.data(), want, offset_ + static_cast<std::int64_t>(done));
    if (n < 0) {
      if (errno == EINTR) continue;
      throw_io_error("cannot read", path_);
    }
    // A file that shrank meanwhile simply differs.
    if (n == 0) return false;
    if (std::memcmp(old_bytes_.data(), data + done, static_cast<std::size_t>(n)) != 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

void ReplacingFile::write_at(const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::pwrite(fd_, data, size, offset_);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw_io_error("cannot write", path_);
    }
    data += n;
    size -= static_cast<std::size_t>(n);
    offset_ += n;
  }
}

void ReplacingFile::write_block(const char* data, std::size_t size) {
  if (comparing_) {
    if (matches(data, size)) {
      offset_ += static_cast<std::int64_t>(size);
      return;
    }
    comparing_ = false;
  }
  write_at(data, size);
}

void ReplacingFile::close() {
  if (fd_ < 0) return;
  unchanged_ = comparing_ && offset_ == old_size_;
  if (offset_ != old_size_ && ::ftruncate(fd_, offset_) != 0)
    throw_io_error("cannot set the size of", path_);
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) throw_io_error("cannot write", path_);
}

}  // namespace quilm
