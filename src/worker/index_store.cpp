#include "worker/index_store.hpp"

#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <utility>

#include "common/errors.hpp"
#include "common/paths.hpp"

namespace quilm {

namespace {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  // Closes now; false when the close reports an error (a delayed write error).
  bool close() { return ::close(std::exchange(fd_, -1)) == 0; }

 private:
  int fd_;
};

void warn(const std::string& message) {
  std::fprintf(stderr, "seed index store: %s\n", message.c_str());
}

std::string system_reason() {
  return std::strerror(errno);
}

// Maps a file read-only; empty memory (and a reason unless it does not
// exist) when that fails.
IndexMemory map_file(const std::string& path, std::string& why) {
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) {
    if (errno != ENOENT) why = system_reason();
    return {};
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) {
    why = system_reason();
    return {};
  }
  const auto bytes = static_cast<std::size_t>(st.st_size);
  if (bytes < kIndexPage) {
    why = "shorter than its header (truncated?)";
    return {};
  }
  void* p = ::mmap(nullptr, bytes, PROT_READ, MAP_SHARED | MAP_POPULATE, fd.get(), 0);
  if (p == MAP_FAILED) {
    why = system_reason();
    return {};
  }
  return IndexMemory(p, bytes);
}

// A stored image that can serve `identity`, or empty memory.
IndexMemory map_stored(const std::string& path, const IndexIdentity& identity, std::string& why) {
  IndexMemory image = map_file(path, why);
  if (image.data() == nullptr) return image;
  why = check_index_image(image.data(), image.size(), identity);
  if (!why.empty()) return {};
  return image;
}

bool write_all(int fd, const std::uint8_t* data, std::size_t bytes) {
  while (bytes > 0) {
    const ssize_t n = ::write(fd, data, std::min<std::size_t>(bytes, std::size_t{1} << 30));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    bytes -= static_cast<std::size_t>(n);
  }
  return true;
}

std::string temporary_name(const std::string& path) {
  char host[256] = "host";
  ::gethostname(host, sizeof host - 1);
  host[sizeof host - 1] = '\0';
  return path + ".tmp." + host + "." + std::to_string(::getpid());
}

// Writes the image under a temporary name beside `path`, then renames it
// into place, so that no reader ever sees a partial file. False with a
// reason, and no temporary file left, when that fails.
bool publish(const std::string& path, const std::uint8_t* data, std::size_t bytes,
             std::string& why) {
  const std::string temp = temporary_name(path);
  FileDescriptor fd(
      ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644));
  if (fd.get() < 0) {
    why = system_reason();
    return false;
  }
  const bool ok =
      write_all(fd.get(), data, bytes) && fd.close() && ::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) {
    why = system_reason();
    ::unlink(temp.c_str());
  }
  return ok;
}

// An exclusive lock on "<index>.lock" while the index is built, so that
// processes asking for the same index wait for the first one's instead of
// building their own. Where locks are not available the processes simply
// build it each (the rename keeps the file whole).
class BuildLock {
 public:
  explicit BuildLock(const std::string& path)
      : fd_(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666)) {
    if (fd_.get() < 0) return;
    int r;
    while ((r = ::flock(fd_.get(), LOCK_EX)) != 0 && errno == EINTR) {
    }
    held_ = r == 0;
  }
  bool held() const { return held_; }

 private:
  FileDescriptor fd_;
  bool held_ = false;
};

template <class Index, class Build, class Attach>
Index obtain(const Segment& segment, IndexIdentity id, const std::string& store, Build build,
             Attach attach) {
  if (store.empty()) return build(segment, id.seed_length);
  id.segment_hash = segment_hash(segment);
  const std::string path = join_path(store, stored_index_name(id));
  std::string why;
  if (IndexMemory image = map_stored(path, id, why); image.data()) return attach(std::move(image));
  if (!why.empty()) warn("'" + path + "' cannot be used (" + why + "); rebuilding it");

  std::error_code ec;
  std::filesystem::create_directories(store, ec);
  if (ec) {
    warn("cannot create '" + store + "' (" + ec.message() + "); the index is built in memory " +
         "and not stored");
    return build(segment, id.seed_length);
  }
  BuildLock lock(path + ".lock");
  if (lock.held()) {
    // Another process may have stored it while this one waited.
    std::string ignored;
    if (IndexMemory image = map_stored(path, id, ignored); image.data())
      return attach(std::move(image));
  }
  Index built = build(segment, id.seed_length);
  seal_index_image(built.memory.data(), id);
  const std::size_t bytes = image_header(built.memory.data()).image_bytes;
  if (!publish(path, built.memory.data(), bytes, why)) {
    warn("cannot write '" + path + "' (" + why + "); the index is used from memory and not " +
         "stored");
    return built;
  }
  // The stored copy replaces the private one (freed first, so that the two
  // never take memory at once), and all processes of this machine share it.
  built = Index();
  std::string ignored;
  if (IndexMemory image = map_file(path, ignored); image.size() == bytes)
    return attach(std::move(image));
  return build(segment, id.seed_length);
}

}  // namespace

SegmentHash segment_hash(const Segment& segment) {
  SegmentHash hash{};
  unsigned int size = 0;
  if (EVP_Digest(segment.data(), segment.length, hash.data(), &size, EVP_sha256(), nullptr) != 1 ||
      size != hash.size())
    throw Error("cannot compute the SHA-256 of a segment");
  return hash;
}

std::string stored_index_name(const IndexIdentity& identity) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string name = "seg-";
  for (int i = 0; i < 16; ++i) {
    name += kHex[identity.segment_hash[i] >> 4];
    name += kHex[identity.segment_hash[i] & 15];
  }
  name += "-L" + std::to_string(identity.seed_length);
  name += identity.variant == IndexVariant::kFull ? "-full" : "-reduced";
  name += "-m" + std::to_string(identity.masked_toggle) + ".idx";
  return name;
}

SeedIndex obtain_seed_index(const Segment& segment, int seed_length, int masked_toggle,
                            const std::string& store) {
  const IndexIdentity id{seed_length, IndexVariant::kFull, masked_toggle, segment.length, {}};
  return obtain<SeedIndex>(segment, id, store, build_seed_index, attach_seed_index);
}

ReducedSeedIndex obtain_reduced_seed_index(const Segment& segment, int seed_length,
                                           int masked_toggle, const std::string& store) {
  const IndexIdentity id{seed_length, IndexVariant::kReduced, masked_toggle, segment.length, {}};
  return obtain<ReducedSeedIndex>(segment, id, store, build_reduced_seed_index,
                                  attach_reduced_seed_index);
}

}  // namespace quilm
