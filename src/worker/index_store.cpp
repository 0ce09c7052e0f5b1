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
#include <optional>
#include <utility>

#include "common/errors.hpp"
#include "common/paths.hpp"
#include "worker/check_memo.hpp"

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

// A file mapped read-only, with its stamp (none when it cannot be read).
struct MappedFile {
  IndexMemory image;
  std::optional<FileStamp> stamp;
};

// Maps a file read-only; empty memory (and a reason unless it does not
// exist) when that fails.
MappedFile map_file(const std::string& path, std::string& why) {
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) {
    if (errno != ENOENT) why = system_reason();
    return {};
  }
  const std::optional<FileStamp> stamp = file_stamp(fd.get());
  if (!stamp) {
    why = system_reason();
    return {};
  }
  const auto bytes = static_cast<std::size_t>(stamp->size);
  if (bytes < kIndexPage) {
    why = "shorter than its header (truncated?)";
    return {};
  }
  void* p = ::mmap(nullptr, bytes, PROT_READ, MAP_SHARED | MAP_POPULATE, fd.get(), 0);
  if (p == MAP_FAILED) {
    why = system_reason();
    return {};
  }
  return {IndexMemory(p, bytes), stamp};
}

std::string hex_word(std::uint64_t value) {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
  return text;
}

// A stored image that can serve `identity`, or empty memory. The full check
// reads every table, which for a large segment costs about as much as the
// mapping of a stage's reads; an image that passed it and has not changed
// since needs its header checked only.
IndexMemory map_stored(const std::string& path, const IndexIdentity& identity, std::string& why) {
  MappedFile file = map_file(path, why);
  if (file.image.data() == nullptr) return {};
  const std::uint8_t* data = file.image.data();
  why = check_index_header(data, file.image.size(), identity);
  if (!why.empty()) return {};
  const std::string memo = path + ".checked";
  const std::string tables = hex_word(image_header(data).table_checksum);
  if (file.stamp && recall_memo(memo, "tables", *file.stamp) == tables)
    return std::move(file.image);
  why = check_index_image(data, file.image.size(), identity);
  if (!why.empty()) return {};
  if (file.stamp) remember_memo(memo, "tables", *file.stamp, tables);
  return std::move(file.image);
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

// Writes the image under a temporary name beside `path`, then renames it
// into place, so that no reader ever sees a partial file. False with a
// reason, and no temporary file left, when that fails.
bool publish(const std::string& path, const std::uint8_t* data, std::size_t bytes,
             std::string& why) {
  const std::string temp = temporary_name_beside(path);
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
  id.segment_hash = remembered_segment_hash(segment, id.masked_toggle, store);
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
  if (MappedFile file = map_file(path, ignored); file.image.size() == bytes)
    return attach(std::move(file.image));
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

namespace {

std::string hex_text(const std::uint8_t* bytes, std::size_t count) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  for (std::size_t i = 0; i < count; ++i) {
    text += kHex[bytes[i] >> 4];
    text += kHex[bytes[i] & 15];
  }
  return text;
}

}  // namespace

SegmentHash remembered_segment_hash(const Segment& segment, int masked_toggle,
                                    const std::string& store) {
  if (!segment.source) return segment_hash(segment);
  const std::string kind = "segment-sha256-m" + std::to_string(masked_toggle);
  const std::string memo = join_path(store, "segment-" + std::to_string(segment.source->inode) +
                                                "-m" + std::to_string(masked_toggle) + ".sha256");
  SegmentHash hash{};
  if (const std::optional<std::string> text = recall_memo(memo, kind, *segment.source);
      text && text->size() == 2 * hash.size()) {
    bool ok = true;
    for (std::size_t i = 0; i < hash.size() && ok; ++i) {
      unsigned value = 0;
      ok = std::sscanf(text->c_str() + 2 * i, "%2x", &value) == 1;
      hash[i] = static_cast<std::uint8_t>(value);
    }
    if (ok && hex_text(hash.data(), hash.size()) == *text) return hash;
  }
  hash = segment_hash(segment);
  remember_memo(memo, kind, *segment.source, hex_text(hash.data(), hash.size()));
  return hash;
}

std::string stored_index_name(const IndexIdentity& identity) {
  std::string name = "seg-" + hex_text(identity.segment_hash.data(), 16);
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
