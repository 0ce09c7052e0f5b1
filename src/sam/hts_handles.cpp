#include "sam/hts_handles.hpp"

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
