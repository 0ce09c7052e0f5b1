#include "pipeline/run_lock.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "common/errors.hpp"
#include "common/paths.hpp"

namespace quilm {

namespace {

std::string current_directory() {
  std::error_code ec;
  return std::filesystem::current_path(ec).string();
}

// Opens and locks a file without waiting; -1 with errno set when the lock is
// held elsewhere (EWOULDBLOCK) or the file cannot be opened.
int open_locked(const std::string& path, const char* what) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
  if (fd < 0) throw_io_error(std::string("cannot open ") + what, path);
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return fd;
  const int err = errno;
  ::close(fd);
  if (err != EWOULDBLOCK)
    throw IoError(describe_errno(std::string("cannot lock ") + what, path, err));
  errno = err;
  return -1;
}

// "process <pid> in <directory>" from a lock file, or "" when unreadable.
std::string holder_of(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return "";
  char buf[4096];
  const ssize_t n = ::read(fd, buf, sizeof buf);
  ::close(fd);
  if (n <= 0) return "";
  std::string text(buf, static_cast<std::size_t>(n));
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

}  // namespace

RunLock::~RunLock() {
  if (folder_fd_ >= 0) ::close(folder_fd_);
  if (log_fd_ >= 0) ::close(log_fd_);
}

void RunLock::acquire(const std::string& path, const char* program) {
  log_fd_ = open_locked(path, "the run log");
  if (log_fd_ < 0)
    throw Error("another run is using '" + path + "' in " + current_directory() +
                "; wait for it to end or start " + program + " in another directory");
}

void RunLock::acquire_work_folder(const std::string& folder, const char* program) {
  const std::string path = join_path(folder, kWorkFolderLockFile);
  folder_fd_ = open_locked(path, "the work folder's lock file");
  if (folder_fd_ < 0) {
    const std::string holder = holder_of(path);
    throw Error("another run is using the work folder '" + folder + "'" +
                (holder.empty() ? "" : " (" + holder + ")") + "; wait for it to end or give " +
                program + " another work folder with -W");
  }
  const std::string me =
      "process " + std::to_string(::getpid()) + " started in " + current_directory() + "\n";
  if (::ftruncate(folder_fd_, 0) != 0 ||
      ::pwrite(folder_fd_, me.data(), me.size(), 0) != static_cast<ssize_t>(me.size()))
    throw_io_error("cannot write", path);
}

}  // namespace quilm
