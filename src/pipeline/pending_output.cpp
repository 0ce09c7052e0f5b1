#include "pipeline/pending_output.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "common/errors.hpp"
#include "common/input_file.hpp"
#include "common/output_file.hpp"

namespace quilm {

namespace {

// A final name that the user made a link, a device or a pipe
// (/dev/stdout, /dev/null, a FIFO) is written through, not replaced.
bool written_through(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
}

}  // namespace

PendingOutput::PendingOutput(std::string final_path, RunGuard* guard)
    : final_(std::move(final_path)),
      temporary_(final_ + ".tmp." + std::to_string(::getpid())),
      guard_(guard) {
  if (guard_) guard_->add_temporary(temporary_);
}

PendingOutput::~PendingOutput() {
  if (!kept_) discard();
}

void PendingOutput::discard() {
  if (guard_)
    guard_->drop_temporary(temporary_);
  else
    ::unlink(temporary_.c_str());
}

void PendingOutput::copy_into_final() {
  {
    InputFile in(temporary_, 1 << 20);
    OutputFile out(final_, OutputFile::Mode::kTruncateThroughLinks, 1 << 20);
    while (in.available() > 0 || in.refill()) {
      out.write_block(in.data(), in.available());
      in.consume(in.available());
    }
    out.close();
  }
  discard();
}

void PendingOutput::keep() {
  if (written_through(final_)) {
    copy_into_final();
    kept_ = true;
    return;
  }
  int err = 0;
  if (guard_)
    err = guard_->keep_temporary(temporary_, final_);
  else if (std::rename(temporary_.c_str(), final_.c_str()) != 0)
    err = errno;
  if (err != 0)
    throw IoError(describe_errno("cannot put '" + temporary_ + "' in place of", final_, err));
  kept_ = true;
}

}  // namespace quilm
