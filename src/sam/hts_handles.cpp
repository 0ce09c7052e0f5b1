#include "sam/hts_handles.hpp"

#include <htslib/bgzf.h>
#include <htslib/hfile.h>

#include <cerrno>
#include <new>

#include "common/errors.hpp"

namespace quilm::sam {

RecordPtr make_record() {
  RecordPtr b(bam_init1());
  if (!b) throw std::bad_alloc();
  return b;
}

ThreadPoolPtr make_thread_pool(int threads) {
  if (threads <= 1) return nullptr;
  ThreadPoolPtr pool(hts_tpool_init(threads));
  if (!pool) throw std::bad_alloc();
  return pool;
}

ProcessPtr make_process(hts_tpool* pool, int size, bool ordered) {
  ProcessPtr q(hts_tpool_process_init(pool, size, ordered ? 0 : 1));
  if (!q) throw std::bad_alloc();
  return q;
}

namespace {

// The error recorded by the handle below the file; 0 when none (or a CRAM,
// whose handle is its own).
int recorded_error(htsFile* file) {
  if (!file || file->is_cram) return 0;
  hFILE* handle = file->is_bgzf ? (file->fp.bgzf ? file->fp.bgzf->fp : nullptr) : file->fp.hfile;
  return handle ? herrno(handle) : 0;
}

}  // namespace

void throw_hts_error(const std::string& what, const std::string& path, htsFile* file) {
  int err = errno;
  if (err == 0) err = recorded_error(file);
  if (err == 0) throw IoError(what + " '" + path + "'");
  throw IoError(describe_errno(what, path, err));
}

void close_or_throw(HtsFilePtr& file, const std::string& path) {
  // A flush while the handle still exists, so that a failure can tell why.
  errno = 0;
  if (file->is_bgzf && !file->is_cram && bgzf_flush(file->fp.bgzf) < 0)
    throw_hts_error("cannot write", path, file.get());
  errno = 0;
  if (hts_close(file.release()) < 0) throw_hts_error("cannot write", path);
}

void share_pool(htsFile* file, hts_tpool* pool, const std::string& path) {
  if (!pool) return;
  // Blocks queued for compression (64 KiB each): enough that the writing
  // thread seldom waits for a compressing one, or the other way round.
  constexpr int kQueuedBlocks = 64;
  htsThreadPool shared{pool, kQueuedBlocks};
  if (hts_set_thread_pool(file, &shared) < 0)
    throw IoError("cannot use threads for '" + path + "'");
}

}  // namespace quilm::sam
