// Owning handles for the htslib objects, so that every error path closes
// files and frees records.
#pragma once

#include <htslib/sam.h>
#include <htslib/thread_pool.h>

#include <memory>
#include <string>

namespace quilm::sam {

struct HtsFileCloser {
  void operator()(htsFile* f) const { hts_close(f); }
};
struct HeaderFreer {
  void operator()(sam_hdr_t* h) const { sam_hdr_destroy(h); }
};
struct RecordFreer {
  void operator()(bam1_t* b) const { bam_destroy1(b); }
};

struct ThreadPoolDestroyer {
  void operator()(hts_tpool* p) const { hts_tpool_destroy(p); }
};
// Waits for every job given to the queue, so that none outlives the data it
// works on, then frees the queue.
struct ProcessDestroyer {
  void operator()(hts_tpool_process* q) const {
    hts_tpool_process_flush(q);
    hts_tpool_process_destroy(q);
  }
};

using HtsFilePtr = std::unique_ptr<htsFile, HtsFileCloser>;
using HeaderPtr = std::unique_ptr<sam_hdr_t, HeaderFreer>;
using RecordPtr = std::unique_ptr<bam1_t, RecordFreer>;
// Every file and queue that uses a pool must be closed before it.
using ThreadPoolPtr = std::unique_ptr<hts_tpool, ThreadPoolDestroyer>;
using ProcessPtr = std::unique_ptr<hts_tpool_process, ProcessDestroyer>;

// Throws std::bad_alloc when htslib cannot allocate a record.
RecordPtr make_record();

// A pool of `threads` threads, or none for 1 (the work then runs on the
// calling thread). Throws std::bad_alloc when htslib cannot start it.
ThreadPoolPtr make_thread_pool(int threads);

// A queue of jobs in `pool` holding at most `size` of them; with `ordered`
// their results come back in the order they were given. Throws
// std::bad_alloc when htslib cannot make it.
ProcessPtr make_process(hts_tpool* pool, int size, bool ordered);

// Throws IoError "<what> '<path>': <reason>" after an htslib call on
// `file` failed. The reason is the system's error the call left in errno
// or, when the write failed in one of the pool's threads (whose errno is
// their own), the one the file's handle recorded.
[[noreturn]] void throw_hts_error(const std::string& what, const std::string& path,
                                  htsFile* file = nullptr);

// Flushes and closes the file; throws as throw_hts_error when that fails.
void close_or_throw(HtsFilePtr& file, const std::string& path);

// Lets htslib compress (or decompress) `file` in the pool, if there is one.
void share_pool(htsFile* file, hts_tpool* pool, const std::string& path);

}  // namespace quilm::sam
