#include "sam/batch_queue.hpp"

#include <algorithm>
#include <new>

namespace quilm::sam {

namespace {

// Batches in flight per thread, and at most: with some to spare, a thread
// that the scheduler holds back a while stops neither the calling thread nor
// the others.
constexpr int kBatchesPerThread = 4;
constexpr int kMaxBatches = 64;

}  // namespace

BatchQueue make_batch_queue(const ConversionInput& input, const std::string& dataset, bool sorted,
                            hts_tpool* pool, BatchJob convert) {
  BatchQueue q;
  const int size = pool ? std::min(kBatchesPerThread * hts_tpool_size(pool), kMaxBatches) : 1;
  q.batches.resize(static_cast<std::size_t>(size));
  for (ReadBatch& b : q.batches) {
    b.input = &input;
    b.dataset = dataset;
    b.sorted = sorted;
    b.reads.resize(kBatchReads);
    b.hits.resize(kBatchReads);
    b.rescued.resize(kBatchReads);
    b.sink = {&input.read_group, &b.block.records, b.record.get()};
  }
  q.pool = pool;
  q.convert = convert;
  if (pool) q.jobs = make_process(pool, size, true);
  return q;
}

ReadBatch& batch_to_fill(BatchQueue& q) {
  return q.batches[q.given % q.batches.size()];
}

void give(BatchQueue& q) {
  ReadBatch& b = batch_to_fill(q);
  b.sequence = q.given++;
  if (!q.pool) {
    q.convert(&b);
  } else if (hts_tpool_dispatch(q.pool, q.jobs.get(), q.convert, &b) < 0) {
    throw std::bad_alloc();
  }
}

ReadBatch& take(BatchQueue& q) {
  ReadBatch& b = q.batches[q.taken % q.batches.size()];
  ++q.taken;
  if (!q.pool) return b;
  hts_tpool_result* result = hts_tpool_next_result_wait(q.jobs.get());
  if (!result) throw std::bad_alloc();
  hts_tpool_delete_result(result, 0);
  return b;
}

}  // namespace quilm::sam
