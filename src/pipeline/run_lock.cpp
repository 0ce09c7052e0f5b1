#include "pipeline/run_lock.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "common/errors.hpp"

namespace quilm {

RunLock::~RunLock() {
  if (fd_ >= 0) ::close(fd_);
}

void RunLock::acquire(const std::string& path, const char* program) {
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) throw_io_error("cannot open the run log", path);
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int err = errno;
    ::close(fd);
    std::error_code ec;
    const std::string here = std::filesystem::current_path(ec).string();
    if (err == EWOULDBLOCK)
      throw Error("another run is using '" + path + "' in " + here +
                  "; wait for it to end or start " + program + " in another directory");
    throw IoError(describe_errno("cannot lock the run log", path, err));
  }
  fd_ = fd;
}

}  // namespace quilm
