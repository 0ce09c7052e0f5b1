#include "worker/check_memo.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <sstream>

namespace quilm {

namespace {

std::string memo_line(std::string_view kind, const FileStamp& s, const std::string& value) {
  std::ostringstream line;
  line << kind << ' ' << s.inode << ' ' << s.size << ' ' << s.modified_ns << ' ' << s.changed_ns
       << ' ' << value << '\n';
  return line.str();
}

// A memo is one short line; anything longer is not one.
constexpr std::size_t kMemoBytes = 512;

bool write_all(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

std::string temporary_name_beside(const std::string& path) {
  char host[256] = "host";
  ::gethostname(host, sizeof host - 1);
  host[sizeof host - 1] = '\0';
  return path + ".tmp." + host + "." + std::to_string(::getpid());
}

std::optional<std::string> recall_memo(const std::string& path, std::string_view kind,
                                       const FileStamp& stamp, const StoreFolderTrust& folder) {
  std::string why;
  const FileDescriptor fd = open_store_entry(path, folder, why);
  if (fd.get() < 0) return std::nullopt;
  char bytes[kMemoBytes];
  ssize_t n;
  while ((n = ::read(fd.get(), bytes, sizeof bytes)) < 0 && errno == EINTR) {
  }
  if (n <= 0) return std::nullopt;
  std::string line(bytes, static_cast<std::size_t>(n));
  line = line.substr(0, line.find('\n'));
  const std::size_t value_at = line.rfind(' ');
  if (value_at == std::string::npos) return std::nullopt;
  std::string value = line.substr(value_at + 1);
  if (value.empty() || memo_line(kind, stamp, value) != line + '\n') return std::nullopt;
  return value;
}

void remember_memo(const std::string& path, std::string_view kind, const FileStamp& stamp,
                   const std::string& value) {
  if (!stamp_settled(stamp, std::chrono::system_clock::now())) return;
  const std::string temp = temporary_name_beside(path);
  FileDescriptor fd(::open(
      temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644));
  if (fd.get() < 0) return;
  struct stat st {};
  const bool written = ::fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode) &&
                       ::fchmod(fd.get(), st.st_mode & 0644) == 0 &&
                       write_all(fd.get(), memo_line(kind, stamp, value)) && fd.close();
  if (!written || std::rename(temp.c_str(), path.c_str()) != 0) std::remove(temp.c_str());
}

}  // namespace quilm
