#include "common/input_file.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/errors.hpp"

namespace quilm {

bool is_gzip_file(const std::string& path) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!f) return false;
  unsigned char magic[2] = {0, 0};
  return std::fread(magic, 1, 2, f.get()) == 2 && magic[0] == 0x1f && magic[1] == 0x8b;
}

InputFile::InputFile(std::string path, std::size_t block) : path_(std::move(path)), buf_(block) {
  errno = 0;
  gz_ = gzopen(path_.c_str(), "rb");
  if (!gz_) {
    int err = errno ? errno : ENOMEM;
    throw IoError(describe_errno("cannot open", path_, err));
  }
  // zlib reads a file without the gzip magic transparently, byte for byte.
  gzbuffer(gz_, static_cast<unsigned>(block < (1u << 20) ? block : (1u << 20)));
  compressed_ = is_gzip_file(path_);
}

InputFile::~InputFile() {
  if (gz_) gzclose(gz_);
}

bool InputFile::refill() {
  buffer_offset_ += end_;
  pos_ = 0;
  end_ = 0;
  int n = gzread(gz_, buf_.data(), static_cast<unsigned>(buf_.size()));
  int status = Z_OK;
  if (n == 0) gzerror(gz_, &status);  // a cut-short stream ends with Z_BUF_ERROR
  if (n < 0 || (status != Z_OK && status != Z_STREAM_END)) {
    int errnum = 0;
    const char* msg = gzerror(gz_, &errnum);
    if (errnum == Z_ERRNO) throw_io_error("cannot read", path_);
    throw IoError("cannot read '" + path_ + "': " + (msg ? msg : "decompression failed"));
  }
  end_ = static_cast<std::size_t>(n);
  return n > 0;
}

void InputFile::seek(std::uint64_t offset) {
  if (gzseek(gz_, static_cast<z_off_t>(offset), SEEK_SET) < 0) {
    int errnum = 0;
    const char* msg = gzerror(gz_, &errnum);
    if (errnum == Z_ERRNO) throw_io_error("cannot seek in", path_);
    throw IoError("cannot seek in '" + path_ + "': " + (msg ? msg : "seek failed"));
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
    const char* start = buf_.data() + pos_;
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
