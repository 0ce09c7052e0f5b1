#include "common/input_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "common/errors.hpp"

namespace quilm {

namespace {

// A descriptor of its own for the file, or a duplicate of standard input for
// "-" (closing the input then leaves standard input itself open).
int open_descriptor(const std::string& path) {
  const int fd = path == kStandardInput ? ::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0)
                                        : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw_io_error("cannot open", path);
  return fd;
}

// zlib's message for a stream opened on a descriptor begins with
// "<fd:N>: " in place of a file name; the message names the file instead.
std::string zlib_reason(const char* message, const char* otherwise) {
  std::string_view text = message && *message ? message : otherwise;
  if (text.starts_with("<fd:")) {
    const std::size_t end = text.find(">: ");
    if (end != std::string_view::npos) text.remove_prefix(end + 3);
  }
  return std::string(text);
}

}  // namespace

void check_readable(const std::string& path) {
  if (path != kStandardInput && ::access(path.c_str(), R_OK) != 0)
    throw_io_error("cannot open", path);
}

bool is_one_pass_input(const std::string& path) {
  if (path == kStandardInput) return true;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  return !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
}

void refuse_one_pass_input(const std::string& path, const char* option, const char* what) {
  if (is_one_pass_input(path))
    throw UsageError(std::string(option) + ": the " + what + " '" + path +
                     "' is read twice, so it must be a regular file, not a pipe or standard input");
}

InputFile::InputFile(std::string path, std::size_t block)
    : path_(std::move(path)), buf_(new char[block]), block_(block) {
  const int fd = open_descriptor(path_);
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) stored_size_ = st.st_size;
  // zlib sniffs the gzip magic bytes from the stream it reads anyway, and
  // reads a file without them transparently, byte for byte.
  gz_ = gzdopen(fd, "rb");
  if (!gz_) {
    ::close(fd);
    throw IoError(describe_errno("cannot open", path_, ENOMEM));
  }
  gzbuffer(gz_, static_cast<unsigned>(block < (1u << 20) ? block : (1u << 20)));
}

double InputFile::share_read() const {
  if (stored_size_ < 0) return -1;
  if (stored_size_ == 0) return 1;
  const z_off_t offset = gzoffset(gz_);
  return offset < 0 ? -1 : std::min(1.0, static_cast<double>(offset) / stored_size_);
}

InputFile::~InputFile() {
  if (gz_) gzclose(gz_);
}

bool InputFile::refill() {
  buffer_offset_ += end_;
  pos_ = 0;
  end_ = 0;
  int n = gzread(gz_, buf_.get(), static_cast<unsigned>(block_));
  int status = Z_OK;
  if (n == 0) gzerror(gz_, &status);  // a cut-short stream ends with Z_BUF_ERROR
  if (n < 0 || (status != Z_OK && status != Z_STREAM_END)) {
    int errnum = 0;
    const char* msg = gzerror(gz_, &errnum);
    if (errnum == Z_ERRNO) throw_io_error("cannot read", path_);
    throw IoError("cannot read '" + path_ + "': " + zlib_reason(msg, "decompression failed"));
  }
  end_ = static_cast<std::size_t>(n);
  return n > 0;
}

void InputFile::seek(std::uint64_t offset) {
  if (gzseek(gz_, static_cast<z_off_t>(offset), SEEK_SET) < 0) {
    int errnum = 0;
    const char* msg = gzerror(gz_, &errnum);
    if (errnum == Z_ERRNO) throw_io_error("cannot seek in", path_);
    throw IoError("cannot seek in '" + path_ + "': " + zlib_reason(msg, "seek failed"));
  }
  buffer_offset_ = offset;
  pos_ = 0;
  end_ = 0;
}

bool InputFile::read_line(std::string& line) {
  line.clear();
  bool any = false;
  for (;;) {
    if (pos_ == end_ && !refill()) return any;
    any = true;
    const char* start = buf_.get() + pos_;
    const void* nl = std::memchr(start, '\n', end_ - pos_);
    if (nl) {
      std::size_t len = static_cast<const char*>(nl) - start;
      line.append(start, len);
      pos_ += len + 1;
      return true;
    }
    line.append(start, end_ - pos_);
    pos_ = end_;
  }
}

std::string read_whole_file(const std::string& path) {
  InputFile in(path);
  std::string all;
  while (in.available() > 0 || in.refill()) {
    all.append(in.data(), in.available());
    in.consume(in.available());
  }
  return all;
}

}  // namespace quilm
