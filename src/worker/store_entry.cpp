#include "worker/store_entry.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace quilm {

FileDescriptor::~FileDescriptor() {
  if (fd_ >= 0) ::close(fd_);
}

bool FileDescriptor::close() {
  return ::close(std::exchange(fd_, -1)) == 0;
}

namespace {

constexpr mode_t kWritableByOthers = S_IWGRP | S_IWOTH;

std::string mode_text(mode_t mode) {
  char text[8];
  std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
  return text;
}

}  // namespace

StoreFolderTrust folder_trust(const struct stat& folder) {
  StoreFolderTrust trust;
  if ((folder.st_mode & kWritableByOthers) == 0) return trust;
  if (folder.st_mode & S_ISVTX) {
    trust.shared = true;
    return trust;
  }
  trust.distrust = "users other than its owner can write it (mode " + mode_text(folder.st_mode) +
                   "), so anyone of them could plant an index in it; make it writable by its " +
                   "owner only (chmod go-w) or sticky (chmod +t)";
  return trust;
}

StoreFolderTrust store_folder_trust(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return {std::strerror(errno), false};
  if (!S_ISDIR(st.st_mode)) return {"not a folder", false};
  return folder_trust(st);
}

std::string file_distrust(const struct stat& file, const StoreFolderTrust& folder) {
  if (file.st_mode & kWritableByOthers)
    return "users other than its owner can write it (mode " + mode_text(file.st_mode) + ")";
  if (folder.shared && file.st_uid != ::geteuid() && file.st_uid != 0)
    return "owned by another user (uid " + std::to_string(file.st_uid) +
           ") in a folder that others can write";
  return {};
}

FileDescriptor open_store_entry(const std::string& path, const StoreFolderTrust& folder,
                                std::string& why) {
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (fd.get() < 0) {
    if (errno != ENOENT) why = std::strerror(errno);
    return FileDescriptor();
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) {
    why = std::strerror(errno);
    return FileDescriptor();
  }
  if (!S_ISREG(st.st_mode)) {
    why = kNotARegularFile;
    return FileDescriptor();
  }
  why = file_distrust(st, folder);
  if (!why.empty()) return FileDescriptor();
  return fd;
}

}  // namespace quilm
