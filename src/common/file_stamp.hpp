// What tells an unchanged file from a changed one without reading it: its
// inode, size and the times of its last data and status change. The status
// change time is set by the kernel on every write and on every change of the
// other times, so no program can rewrite a file and give it back an earlier
// stamp; only a rewrite within one tick of the file system's clock can keep
// the stamp, which is why a stamp is trusted only once it has settled.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace quilm {

struct FileStamp {
  std::uint64_t inode = 0;
  std::uint64_t size = 0;
  std::int64_t modified_ns = 0;
  std::int64_t changed_ns = 0;
  bool operator==(const FileStamp&) const = default;
};

// The stamp of an open file; none when it cannot be read.
std::optional<FileStamp> file_stamp(int fd);
// The stamp of the regular file that `path` leads to, links followed; none
// for a missing path or anything but a regular file.
std::optional<FileStamp> path_stamp(const std::string& path);

// How long a file must have stayed unchanged before its stamp is trusted.
inline constexpr std::chrono::seconds kStampSettling{2};

// True when both times of the stamp lie at least kStampSettling before
// `now`, so that any later write gives the file another stamp.
bool stamp_settled(const FileStamp& stamp, std::chrono::system_clock::time_point now);

}  // namespace quilm
