#include "common/file_stamp.hpp"

#include <sys/stat.h>

namespace quilm {

namespace {

std::int64_t nanoseconds(const struct timespec& t) {
  return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

FileStamp stamp_of(const struct stat& st) {
  return FileStamp{static_cast<std::uint64_t>(st.st_ino), static_cast<std::uint64_t>(st.st_size),
                   nanoseconds(st.st_mtim), nanoseconds(st.st_ctim)};
}

}  // namespace

std::optional<FileStamp> file_stamp(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0 || st.st_size < 0) return std::nullopt;
  return stamp_of(st);
}

std::optional<FileStamp> path_stamp(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) return std::nullopt;
  return stamp_of(st);
}

bool stamp_settled(const FileStamp& stamp, std::chrono::system_clock::time_point now) {
  const std::int64_t limit =
      std::chrono::duration_cast<std::chrono::nanoseconds>(now.time_since_epoch() - kStampSettling)
          .count();
  return stamp.modified_ns <= limit && stamp.changed_ns <= limit;
}

}  // namespace quilm
