#include "worker/index_store.hpp"

#include <fcntl.h>
#include <openssl/evp.h>
#include <signal.h>
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
#include "worker/store_entry.hpp"
#include "worker/store_lock.hpp"

namespace quilm {

namespace {

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

// A private copy of the file in memory taken from `copy`: a snapshot that
// nobody else's change to the file reaches.
MappedFile copy_file(int fd, const FileStamp& stamp, ReusableMemory& copy, std::string& why) {
  const auto bytes = static_cast<std::size_t>(stamp.size);
  IndexMemory image = copy.take(bytes);
  if (!read_fully(fd, image.data(), bytes)) {
    why = errno != 0 ? system_reason() : "shorter than its size when opened";
  } else if (file_stamp(fd) != stamp) {
    why = "it changed while it was read";
  } else {
    return {std::move(image), stamp};
  }
  copy.give_back(std::move(image));
  return {};
}

// Maps a trusted regular file read-only, or copies it into `copy` when
// given; empty memory (and a reason unless it does not exist) when that
// fails.
MappedFile map_file(const std::string& path, const StoreFolderTrust& folder, std::string& why,
                    ReusableMemory* copy) {
  const FileDescriptor fd = open_store_entry(path, folder, why);
  if (fd.get() < 0) return {};
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
  if (copy) return copy_file(fd.get(), *stamp, *copy, why);
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
IndexMemory map_stored(const std::string& path, const IndexIdentity& identity,
                       const StoreFolderTrust& folder, std::string& why, ReusableMemory* copy) {
  MappedFile file = map_file(path, folder, why, copy);
  if (file.image.data() == nullptr) return {};
  const std::uint8_t* data = file.image.data();
  why = check_index_header(data, file.image.size(), identity);
  if (!why.empty()) {
    if (copy) copy->give_back(std::move(file.image));
    return {};
  }
  const std::string memo = path + ".checked";
  const std::string tables = hex_word(image_header(data).table_checksum);
  if (file.stamp && recall_memo(memo, "tables", *file.stamp, folder) == tables)
    return std::move(file.image);
  why = check_index_image(data, file.image.size(), identity);
  if (!why.empty()) {
    if (copy) copy->give_back(std::move(file.image));
    return {};
  }
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
  FileDescriptor fd(::open(
      temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644));
  if (fd.get() < 0) {
    why = system_reason();
    return false;
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
    why = "its temporary name '" + temp + "' is not a regular file";
    return false;
  }
  const bool ok = ::fchmod(fd.get(), st.st_mode & 0644) == 0 && write_all(fd.get(), data, bytes) &&
                  fd.close() && ::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) {
    why = system_reason();
    ::unlink(temp.c_str());
  }
  return ok;
}

// Creates the store folder when missing, writable by its owner only (so
// that a group-writable umask does not make it one that cannot be
// trusted); empty, or why it cannot be used.
std::string prepare_folder(const std::string& store) {
  std::error_code ec;
  if (std::filesystem::create_directories(store, ec) && !ec) {
    struct stat st {};
    if (::stat(store.c_str(), &st) == 0) ::chmod(store.c_str(), st.st_mode & ~(S_IWGRP | S_IWOTH));
  }
  if (ec) return "cannot create '" + store + "' (" + ec.message() + ")";
  return {};
}

template <class Index, class Build, class Attach>
Index obtain(const Segment& segment, IndexIdentity id, const std::string& store,
             ReusableMemory* copy, Build build, Attach attach) {
  // A build takes memory of its own; a kept copy is not held beside it.
  auto build_here = [&] {
    if (copy) copy->release();
    return build(segment, id.seed_length);
  };
  if (store.empty()) return build_here();
  if (const std::string why = prepare_folder(store); !why.empty()) {
    warn(why + "; the index is built in memory and not stored");
    return build_here();
  }
  const StoreFolderTrust folder = store_folder_trust(store);
  if (!folder.distrust.empty()) {
    warn("the folder '" + store + "' is not used: " + folder.distrust +
         "; the index is built in memory and not stored");
    return build_here();
  }
  id.segment_hash = remembered_segment_hash(segment, id.masked_toggle, store, folder);
  const std::string path = join_path(store, stored_index_name(id));
  std::string why;
  if (IndexMemory image = map_stored(path, id, folder, why, copy); image.data())
    return attach(std::move(image));
  if (why == kNotARegularFile) {
    warn("'" + path + "' is not a regular file; the index is built in memory and not stored");
    return build_here();
  }
  if (!why.empty()) warn("'" + path + "' cannot be used (" + why + "); rebuilding it");

  const BuildLock lock(path + ".lock", store_lock_wait());
  switch (lock.state()) {
    case BuildLock::State::kHeld: {
      // Another process may have stored it while this one waited.
      std::string ignored;
      if (IndexMemory image = map_stored(path, id, folder, ignored, copy); image.data())
        return attach(std::move(image));
      break;
    }
    case BuildLock::State::kNotAFile:
      warn("'" + path + ".lock' is not a regular file; the index is built in memory and not " +
           "stored");
      [[fallthrough]];
    case BuildLock::State::kGaveUp:
      return build_here();
    case BuildLock::State::kNoLocks:
      break;
  }
  Index built = build_here();
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
  if (MappedFile file = map_file(path, folder, ignored, copy); file.image.size() == bytes)
    return attach(std::move(file.image));
  return build_here();
}

// The message of a bus error, set once before any image is mapped and only
// read by the handler, which can do no more than write it and end.
char fault_message[2048];
std::size_t fault_length = 0;

extern "C" void on_store_fault(int) {
  [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, fault_message, fault_length);
  ::_exit(1);
}

}  // namespace

void report_store_faults(const std::string& store) {
  if (store.empty() || fault_length != 0) return;
  std::string text = "seed index store: error: an index file in '" + store +
                     "' was cut short or replaced in place while this process used it (bus "
                     "error); run again to check and rebuild it\n";
  if (text.size() > sizeof fault_message) {
    text.resize(sizeof fault_message - 1);
    text += '\n';
  }
  std::memcpy(fault_message, text.data(), text.size());
  fault_length = text.size();
  struct sigaction action {};
  action.sa_handler = on_store_fault;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGBUS, &action, nullptr);
}

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
                                    const std::string& store, const StoreFolderTrust& folder) {
  if (!segment.source) return segment_hash(segment);
  const std::string kind = "segment-sha256-m" + std::to_string(masked_toggle);
  const std::string memo = join_path(store, "segment-" + std::to_string(segment.source->inode) +
                                                "-m" + std::to_string(masked_toggle) + ".sha256");
  SegmentHash hash{};
  if (const std::optional<std::string> text = recall_memo(memo, kind, *segment.source, folder);
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
                            const std::string& store, ReusableMemory* copy) {
  const IndexIdentity id{seed_length, IndexVariant::kFull, masked_toggle, segment.length, {}};
  return obtain<SeedIndex>(segment, id, store, copy, build_seed_index, attach_seed_index);
}

ReducedSeedIndex obtain_reduced_seed_index(const Segment& segment, int seed_length,
                                           int masked_toggle, const std::string& store,
                                           ReusableMemory* copy) {
  const IndexIdentity id{seed_length, IndexVariant::kReduced, masked_toggle, segment.length, {}};
  return obtain<ReducedSeedIndex>(segment, id, store, copy, build_reduced_seed_index,
                                  attach_reduced_seed_index);
}

}  // namespace quilm
