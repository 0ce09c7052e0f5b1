#include "worker/store_lock.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <thread>

#include "common/errors.hpp"
#include "common/whole_number.hpp"

namespace quilm {

std::chrono::seconds store_lock_wait(const char* value) {
  if (!value) return kStoreLockWait;
  const std::string_view text(value);
  long seconds = -1;
  if (!parse_whole_number(text, seconds) || seconds < 0)
    throw UsageError(std::string("environment variable ") + kStoreLockWaitVariable + ": '" +
                     std::string(text) + "' is not a whole number of seconds");
  return std::chrono::seconds(seconds);
}

std::chrono::seconds store_lock_wait() {
  return store_lock_wait(std::getenv(kStoreLockWaitVariable));
}

namespace {

std::string own_holder_text() {
  char host[256] = "unknown host";
  ::gethostname(host, sizeof host - 1);
  host[sizeof host - 1] = '\0';
  return "process " + std::to_string(::getpid()) + " on " + host;
}

// What the holder wrote, as printable text; empty when nothing is there.
std::string holder_of(int fd) {
  char bytes[300];
  const ssize_t n = ::pread(fd, bytes, sizeof bytes - 1, 0);
  std::string text;
  for (ssize_t i = 0; i < n && bytes[i] != '\n'; ++i)
    text += bytes[i] >= ' ' && bytes[i] < 127 ? bytes[i] : '?';
  return text;
}

void say(const std::string& message) {
  std::fprintf(stderr, "seed index store: %s\n", message.c_str());
}

// 0 when taken, else the error of the last try (EWOULDBLOCK while held).
int try_lock(int fd) {
  int r;
  while ((r = ::flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
  }
  return r == 0 ? 0 : errno;
}

}  // namespace

BuildLock::BuildLock(const std::string& path, std::chrono::milliseconds bound)
    : fd_(::open(path.c_str(), O_RDWR | O_CREAT | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW, 0666)) {
  struct stat st {};
  if (fd_.get() < 0) {
    // A link, a FIFO without a reader or a device in the lock's place.
    if (errno == ELOOP || errno == ENXIO || errno == EISDIR) state_ = State::kNotAFile;
    return;
  }
  if (::fstat(fd_.get(), &st) != 0) return;
  if (!S_ISREG(st.st_mode)) {
    state_ = State::kNotAFile;
    return;
  }
  int error = try_lock(fd_.get());
  if (error == EWOULDBLOCK) {
    const std::string holder = holder_of(fd_.get());
    const long seconds = std::chrono::duration_cast<std::chrono::seconds>(bound).count();
    say("waiting for '" + path + "', held by " +
        (holder.empty() ? std::string("another process") : holder + " (as the file says)") +
        ", which builds this index; at most " + std::to_string(seconds) + " s");
    const auto deadline = std::chrono::steady_clock::now() + bound;
    auto pause = std::chrono::milliseconds(20);
    while (error == EWOULDBLOCK && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
          pause, deadline - std::chrono::steady_clock::now()));
      pause = std::min(pause * 2, std::chrono::milliseconds(1000));
      error = try_lock(fd_.get());
    }
    if (error == EWOULDBLOCK) {
      say("gave up waiting for '" + path + "' after " + std::to_string(seconds) +
          " s; the index is built in memory and not stored");
      state_ = State::kGaveUp;
      return;
    }
  }
  if (error != 0) return;  // no locks here
  state_ = State::kHeld;
  const std::string holder = own_holder_text() + "\n";
  if (::ftruncate(fd_.get(), 0) == 0) {
    [[maybe_unused]] const ssize_t n = ::pwrite(fd_.get(), holder.data(), holder.size(), 0);
  }
}

}  // namespace quilm
