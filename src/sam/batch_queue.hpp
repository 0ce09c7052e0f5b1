// The batches in which the export converts the dataset's reads, and the
// queue that hands them to htslib's thread pool in turn and takes them back
// in the same order.
#pragma once

#include <htslib/thread_pool.h>

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "sam/coordinate_sort.hpp"
#include "sam/dataset_reader.hpp"
#include "sam/hts_handles.hpp"
#include "sam/mate_rescue.hpp"
#include "sam/pair_records.hpp"
#include "sam/read_conversion.hpp"
#include "sam/read_placement.hpp"
#include "sam/rescued_alignments.hpp"
#include "sam/run_hits.hpp"
#include "sam/sam_records.hpp"

namespace quilm::sam {

using HitIterator = std::vector<Hit>::const_iterator;
using RescuedIterator = std::vector<RescuedAlignment>::const_iterator;

// Consecutive reads of the dataset (those with hits, and with --unmapped
// the others too), converted together: in the pool when there is one, while
// the calling thread reads on. Its work areas are reused from batch to batch.
struct ReadBatch {
  const ConversionInput* input = nullptr;
  std::string dataset;                                    // its path, for messages
  std::vector<DatasetRead> reads;                         // the first `count` are this batch's
  std::vector<std::pair<HitIterator, HitIterator>> hits;  // of each read; empty: unmapped
  std::vector<std::pair<RescuedIterator, RescuedIterator>> rescued;  // of each single read
  std::size_t count = 0;
  long last_read = 0;              // the dataset's reads read when it was filled
  bool sorted = false;             // the keys of its records sorted too, for a sorted output
  std::uint64_t sequence = 0;      // of the batch among those given
  SortBlock block;                 // its records, handed on to the sorter of a sorted output
  std::size_t expected_bytes = 0;  // of the previous batch's records: room made at once
  ReadCounts counts;
  std::exception_ptr error;  // the conversion's, after the records before it
  PlacementWork placement_work;
  Placement placement;
  RecordWork record_work;
  RecordPtr record = make_record();
  RecordSink sink;  // into block.records
  PairRecordWork pair_work;
  MateRescueWork rescue_work;
};

// Reads per batch (even: pairs are never split): enough that handing a job out costs little beside
// it, and few enough that the batches in flight stay small (a few MB each).
inline constexpr std::size_t kBatchReads = 4096;

// Converts a batch: a pool job, or a plain call without a pool. It returns
// the batch and keeps any error in it for the calling thread.
using BatchJob = void* (*)(void* batch);

// Hands the batches out in turn, and takes them back in the same order.
struct BatchQueue {
  std::vector<ReadBatch> batches;
  hts_tpool* pool = nullptr;
  BatchJob convert = nullptr;
  ProcessPtr jobs;  // after the batches: it waits for their jobs before they go
  std::size_t given = 0;
  std::size_t taken = 0;
};

// As many batches as keep the pool's threads busy (one without a pool), each
// with room for kBatchReads reads.
BatchQueue make_batch_queue(const ConversionInput& input, const std::string& dataset, bool sorted,
                            hts_tpool* pool, BatchJob convert);

// The batch that the next give() hands out.
ReadBatch& batch_to_fill(BatchQueue& q);

// Converts the batch to fill: in the pool when there is one, else at once.
void give(BatchQueue& q);

// The oldest batch given and not yet taken, once converted.
ReadBatch& take(BatchQueue& q);

}  // namespace quilm::sam
