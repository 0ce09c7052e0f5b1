#include "common/progress_counter.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "common/paths.hpp"
#include "common/work_files.hpp"

namespace quilm {

std::string progress_file(std::string_view work_folder, int process) {
  return join_path(work_folder, kProgressPrefix + std::to_string(process) + kProgressSuffix);
}

long read_progress_file(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "r");
  if (!f) return 0;
  long count = 0;
  if (std::fscanf(f, "%ld", &count) != 1 || count < 0) count = 0;
  std::fclose(f);
  return count;
}

namespace {

// Writes the count under a temporary name (never through a link standing
// there) and renames it into place; false when any step fails.
bool write_count(const std::string& path, long count) {
  const std::string temporary = path + ".tmp";
  const int fd =
      ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const std::string text = std::to_string(count) + "\n";
  const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  const bool closed = ::close(fd) == 0;
  if (written && closed && std::rename(temporary.c_str(), path.c_str()) == 0) return true;
  ::unlink(temporary.c_str());
  return false;
}

}  // namespace

void ProgressCounter::checkpoint() {
  checked_ = done_;
  if (path_.empty()) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - written_ < std::chrono::seconds(1)) return;
  written_ = now;
  if (!write_count(path_, done_)) path_.clear();
}

}  // namespace quilm
