#include "sam/read_conversion.hpp"

#include <algorithm>
#include <exception>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "common/errors.hpp"
#include "sam/hts_handles.hpp"
#include "sam/read_placement.hpp"
#include "sam/sam_records.hpp"
#include "sam/stored_records.hpp"

namespace quilm::sam {

namespace {

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
  std::vector<std::pair<RescuedIterator, RescuedIterator>> rescued;  // of each read
  std::size_t count = 0;
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
};

// Reads per batch: enough that handing a job out costs little beside it,
// and few enough that the batches in flight stay small (a few MB each).
constexpr std::size_t kBatchReads = 4096;
// Batches in flight per thread, and at most: with some to spare, a thread
// that the scheduler holds back a while stops neither the calling thread nor
// the others.
constexpr int kBatchesPerThread = 4;
constexpr int kMaxBatches = 64;

void keep_record(ReadBatch& b) {
  if (!b.input->read_group.empty()) add_read_group(b.input->read_group, b.record.get());
  append_record(b.block.records, b.record.get());
}

void name_read(ReadBatch& b, DatasetRead& read) {
  if (make_valid_qname(read.name)) ++b.counts.renamed;
}

void place(ReadBatch& b, const DatasetRead& read, const Hit& hit) {
  const Chromosome& chromosome = b.input->genome.chromosomes[hit.chromosome];
  if (hit.spliced()) {
    place_splice_hit(hit, read.sequence, chromosome, b.placement_work, b.placement);
  } else if (!place_mapping_hit(hit, read.sequence, chromosome, b.placement_work, b.placement)) {
    throw InputError(describe_hit(b.input->run, hit) + " places the read outside chromosome '" +
                     chromosome.name + "'");
  }
  describe_against_reference(chromosome, b.placement_work, b.placement);
}

void write_hits(ReadBatch& b, const DatasetRead& read, HitIterator first, HitIterator last) {
  const auto count = static_cast<int>(last - first);
  const std::uint32_t hash = sequence_hash(read.sequence);
  for (auto hit = first; hit != last; ++hit) {
    if (hit->sequence_hash != hash || hit->length != read.sequence.size())
      throw InputError(describe_hit(b.input->run, *hit) +
                       " holds a sequence that differs from read " +
                       std::to_string(hit->read_number) + " of the dataset '" + b.dataset +
                       "': is it the run's dataset?");
    place(b, read, *hit);
    const HitNumbering numbering{hit->chromosome, mapping_quality(*hit, count), count,
                                 static_cast<int>(hit - first) + 1};
    build_mapped_record(read, *hit, b.placement, numbering, b.record_work, b.record.get());
    keep_record(b);
  }
  ++b.counts.mapped;
}

// The read's rescued alignments in place of its hits, each marked XR:Z.
void write_rescued(ReadBatch& b, const DatasetRead& read, RescuedIterator first,
                   RescuedIterator last) {
  const auto count = static_cast<int>(last - first);
  for (auto a = first; a != last; ++a) {
    if (a->read_length != read.sequence.size())
      throw InputError("rescued alignment of read " + std::to_string(a->read_number) + " (line " +
                       std::to_string(a->line) + ") covers " + std::to_string(a->read_length) +
                       " bases, but the read of the dataset '" + b.dataset + "' has " +
                       std::to_string(read.sequence.size()));
    const Chromosome& chromosome = b.input->genome.chromosomes[a->chromosome];
    place_rescued(*a, read.sequence, b.placement_work, b.placement);
    describe_against_reference(chromosome, b.placement_work, b.placement);
    Hit hit;  // what the record takes from a hit: a split one carries XS
    hit.split = a->intron_strand == '.' ? -1 : 0;
    hit.strand = a->intron_strand == '+' ? 'F' : 'R';
    hit.hit_class = count > 1 ? HitClass::kMulti : HitClass::kHigh;
    const HitNumbering numbering{a->chromosome, mapping_quality(hit, count), count,
                                 static_cast<int>(a - first) + 1};
    build_mapped_record(read, hit, b.placement, numbering, b.record_work, b.record.get());
    add_rescue_tag(a->kind, b.record.get());
    keep_record(b);
  }
  ++b.counts.mapped;
}

void convert_read(ReadBatch& b, std::size_t i) {
  DatasetRead& read = b.reads[i];
  name_read(b, read);
  const auto [first, last] = b.hits[i];
  const auto [rescued, rescued_end] = b.rescued[i];
  if (rescued != rescued_end &&
      rescued_is_better(rescued->score, {first, static_cast<std::size_t>(last - first)})) {
    write_rescued(b, read, rescued, rescued_end);
  } else if (first != last) {
    write_hits(b, read, first, last);
  } else {
    build_unmapped_record(read, b.record_work, b.record.get());
    keep_record(b);
    ++b.counts.unmapped;
  }
}

// Reads ahead of the one being converted whose reference bases are asked
// into the cache: a hit lands anywhere in the genome, and without this most
// fetches would wait for memory.
constexpr std::size_t kPrefetchReads = 4;

void prefetch_reference(const ReadBatch& b, std::size_t i) {
  const auto [first, last] = b.hits[i];
  for (auto hit = first; hit != last; ++hit) {
    const Chromosome& chromosome = b.input->genome.chromosomes[hit->chromosome];
    // The band of an indel hit's alignment, or the first part of a split one.
    chromosome.prefetch(hit->first - kIndelBand, hit->length + 2 * kIndelBand);
    if (hit->spliced()) chromosome.prefetch(hit->second, hit->length);
  }
}

// A pool job (or a plain call): converts the batch, keeping an error for
// the calling thread.
void* convert_batch(void* batch) {
  auto& b = *static_cast<ReadBatch*>(batch);
  b.block.records.clear();
  b.counts = {};
  b.error = nullptr;
  try {
    b.block.records.reserve(b.expected_bytes + b.expected_bytes / 4);
    for (std::size_t i = 0; i < b.count && i < kPrefetchReads; ++i) prefetch_reference(b, i);
    for (std::size_t i = 0; i < b.count; ++i) {
      if (i + kPrefetchReads < b.count) prefetch_reference(b, i + kPrefetchReads);
      convert_read(b, i);
    }
    b.expected_bytes = b.block.records.size();
    if (b.sorted) sort_block(b.block, b.sequence);
  } catch (...) {
    b.error = std::current_exception();
  }
  return batch;
}

// Hands the batches out in turn, and takes them back in the same order.
struct BatchQueue {
  std::vector<ReadBatch> batches;
  hts_tpool* pool = nullptr;
  ProcessPtr jobs;  // after the batches: it waits for their jobs before they go
  std::size_t given = 0;
  std::size_t taken = 0;
};

BatchQueue make_batch_queue(const ConversionInput& input, const std::string& dataset, bool sorted,
                            hts_tpool* pool) {
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
  }
  q.pool = pool;
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
    convert_batch(&b);
  } else if (hts_tpool_dispatch(q.pool, q.jobs.get(), convert_batch, &b) < 0) {
    throw std::bad_alloc();
  }
}

// The oldest batch given and not yet taken, once converted.
ReadBatch& take(BatchQueue& q) {
  ReadBatch& b = q.batches[q.taken % q.batches.size()];
  ++q.taken;
  if (!q.pool) return b;
  hts_tpool_result* result = hts_tpool_next_result_wait(q.jobs.get());
  if (!result) throw std::bad_alloc();
  hts_tpool_delete_result(result, 0);
  return b;
}

// Writes the records before an error, as a plain loop over the reads would
// have, then throws it.
void write_batch(SamOutput& out, ReadCounts& counts, ReadBatch& b) {
  if (!b.sorted) {
    write_stored_records(out, b.block.records);
  } else if (!b.error) {
    add_sorted_block(out, std::move(b.block));  // the batch fills a new block next time
  }
  if (b.error) std::rethrow_exception(b.error);
  counts.mapped += b.counts.mapped;
  counts.unmapped += b.counts.unmapped;
  counts.renamed += b.counts.renamed;
}

// Reads the next reads to convert into the batch; false when there are none.
struct Cursors {
  HitIterator next, end;
  RescuedIterator next_rescued, rescued_end;
};

bool fill_batch(ReadBatch& b, DatasetReader& dataset, Cursors& c, bool unmapped) {
  b.count = 0;
  while (b.count < kBatchReads &&
         (c.next != c.end || c.next_rescued != c.rescued_end || unmapped) &&
         dataset.next(b.reads[b.count])) {
    const long number = dataset.count();
    auto last = c.next;
    while (last != c.end && last->read_number == number) ++last;
    auto last_rescued = c.next_rescued;
    while (last_rescued != c.rescued_end && last_rescued->read_number == number) ++last_rescued;
    if (last == c.next && last_rescued == c.next_rescued && !unmapped) continue;
    b.rescued[b.count] = {c.next_rescued, last_rescued};
    b.hits[b.count++] = {c.next, last};
    c.next = last;
    c.next_rescued = last_rescued;
  }
  return b.count > 0;
}

}  // namespace

ReadCounts convert_reads(const ConversionInput& input, DatasetReader& dataset, SamOutput& out,
                         hts_tpool* pool) {
  ReadCounts counts;
  BatchQueue queue = make_batch_queue(input, dataset.path(), out.sorter != nullptr, pool);
  static const std::vector<RescuedAlignment> kNoneRescued;
  const auto& rescued = input.rescued ? *input.rescued : kNoneRescued;
  Cursors cursors{input.run.hits.cbegin(), input.run.hits.cend(), rescued.cbegin(), rescued.cend()};
  std::exception_ptr dataset_error;
  for (bool more = true; more;) {
    if (queue.given - queue.taken == queue.batches.size()) write_batch(out, counts, take(queue));
    try {
      more = fill_batch(batch_to_fill(queue), dataset, cursors, input.unmapped);
    } catch (const Error&) {
      dataset_error = std::current_exception();
      more = false;
    }
    if (batch_to_fill(queue).count > 0) give(queue);
  }
  while (queue.taken != queue.given) write_batch(out, counts, take(queue));
  if (dataset_error) std::rethrow_exception(dataset_error);
  if (cursors.next != cursors.end)
    throw InputError(describe_hit(input.run, *cursors.next) + " names read " +
                     std::to_string(cursors.next->read_number) + ", but the dataset '" +
                     dataset.path() + "' holds " + std::to_string(dataset.count()) + " reads");
  if (cursors.next_rescued != cursors.rescued_end)
    throw InputError("rescued alignment of read " +
                     std::to_string(cursors.next_rescued->read_number) + " (line " +
                     std::to_string(cursors.next_rescued->line) + "): the dataset '" +
                     dataset.path() + "' holds " + std::to_string(dataset.count()) + " reads");
  return counts;
}

}  // namespace quilm::sam
