// Opening the files of the seed index store. The store is shared by runs,
// processes and possibly users, so its entries are opened with care: only
// regular files are opened (a FIFO at an entry's name would block the open
// for ever), and only files that no one but their owner can have written
// are trusted. The checksums of an index image are not keyed, so anyone who
// can write into the store can plant an image that passes every check under
// another segment's name; what the store holds is trusted exactly as far as
// the users who can write it.
#pragma once

#include <sys/stat.h>

#include <string>
#include <utility>

namespace quilm {

// An open file descriptor, closed when it goes out of scope.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  ~FileDescriptor();
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  int get() const { return fd_; }
  // Closes now; false when the close reports an error (a delayed write error).
  bool close();

 private:
  int fd_;
};

// Who besides its owner can have written into a store folder.
struct StoreFolderTrust {
  std::string distrust;  // why the folder is not used at all; empty when it is
  // Sticky and writable by others: they cannot replace our files but can
  // add their own, so a file must also be ours (or root's).
  bool shared = false;
};

// The trust of a folder with this status: one that users other than its
// owner can write is not trusted unless it is sticky.
StoreFolderTrust folder_trust(const struct stat& folder);

// The same for the folder at `path` (followed when a link).
StoreFolderTrust store_folder_trust(const std::string& path);

// Why a file with this status in a folder of this trust cannot be trusted;
// empty when it can.
std::string file_distrust(const struct stat& file, const StoreFolderTrust& folder);

// The reason open_store_entry gives for a FIFO, a device or a folder.
inline constexpr const char* kNotARegularFile = "not a regular file";

// Opens an existing store entry read-only without ever blocking: a file
// that is not a regular file or cannot be trusted is closed again. An
// invalid descriptor on failure, with the reason in `why` (left empty when
// the entry does not exist).
FileDescriptor open_store_entry(const std::string& path, const StoreFolderTrust& folder,
                                std::string& why);

}  // namespace quilm
