#include "sam/read_conversion.hpp"

#include <algorithm>
#include <cmath>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "common/errors.hpp"
#include "sam/batch_queue.hpp"
#include "sam/hts_handles.hpp"
#include "sam/mate_rescue.hpp"
#include "sam/pair_records.hpp"
#include "sam/read_placement.hpp"
#include "sam/sam_records.hpp"
#include "sam/stored_records.hpp"

namespace quilm::sam {

namespace {

void keep_record(ReadBatch& b) {
  keep_record(b.sink);
}

void name_read(ReadBatch& b, DatasetRead& read) {
  if (make_valid_qname(read.name)) ++b.counts.renamed;
}

void place(ReadBatch& b, const DatasetRead& read, const Hit& hit, Placement& placement) {
  const Chromosome& chromosome = b.input->genome.chromosomes[hit.chromosome];
  if (hit.spliced()) {
    place_splice_hit(hit, read.sequence, chromosome, b.placement_work, placement);
  } else if (!place_mapping_hit(hit, read.sequence, chromosome, b.placement_work, placement)) {
    throw InputError(describe_hit(b.input->run, hit) + " places the read outside chromosome '" +
                     chromosome.name + "'");
  }
  describe_against_reference(chromosome, b.placement_work, placement);
}

void place(ReadBatch& b, const DatasetRead& read, const Hit& hit) {
  place(b, read, hit, b.placement);
}

void check_read(const ReadBatch& b, const DatasetRead& read, std::uint32_t hash, const Hit& hit) {
  if (hit.sequence_hash != hash || hit.length != read.sequence.size())
    throw InputError(describe_hit(b.input->run, hit) + " holds a sequence that differs from read " +
                     std::to_string(hit.read_number) + " of the dataset '" + b.dataset +
                     "': is it the run's dataset?");
}

// The mapping quality says how many hits the read has; NH, how many of them
// are written.
void write_hits(ReadBatch& b, const DatasetRead& read, HitIterator first, HitIterator last) {
  const auto count = static_cast<int>(last - first);
  const int kept = kept_hits(count, b.input->max_hits);
  const std::uint32_t hash = sequence_hash(read.sequence);
  for (auto hit = first; hit != last; ++hit) check_read(b, read, hash, *hit);
  for (auto hit = first; hit != first + kept; ++hit) {
    place(b, read, *hit);
    const HitNumbering numbering{hit->chromosome, mapping_quality(*hit, count), kept,
                                 static_cast<int>(hit - first) + 1};
    build_mapped_record(read, *hit, b.placement, numbering, b.record_work, b.record.get());
    keep_record(b);
  }
  ++b.counts.mapped;
  count_single(b.counts.summary, kept);
}

void check_rescued(const ReadBatch& b, const DatasetRead& read, const RescuedAlignment& a) {
  if (a.read_length != read.sequence.size())
    throw InputError("rescued alignment of read " + std::to_string(a.read_number) + " (line " +
                     std::to_string(a.line) + ") covers " + std::to_string(a.read_length) +
                     " bases, but the read of the dataset '" + b.dataset + "' has " +
                     std::to_string(read.sequence.size()));
}

// The hit a record of a rescued alignment takes: chromosome, position,
// errors, length; a split one carries XS; its class follows the run's rule.
Hit rescued_hit(std::int64_t read_number, std::int32_t chromosome, const Placement& p, int errors,
                std::size_t length, char intron_strand) {
  Hit hit;
  hit.read_number = read_number;
  hit.chromosome = chromosome;
  hit.first = p.position;
  hit.errors = errors;
  hit.length = static_cast<std::uint32_t>(length);
  hit.hit_class = HitClass::kUnclassified;
  hit.split = intron_strand == '.' ? -1 : 0;
  hit.strand = intron_strand == '-' ? 'R' : 'F';
  return hit;
}

// The read's rescued alignments in place of its hits, each marked XR:Z.
void write_rescued(ReadBatch& b, const DatasetRead& read, RescuedIterator first,
                   RescuedIterator last) {
  const auto count = static_cast<int>(last - first);
  const int kept = kept_hits(count, b.input->max_hits);
  for (auto a = first; a != last; ++a) check_rescued(b, read, *a);
  for (auto a = first; a != first + kept; ++a) {
    const Chromosome& chromosome = b.input->genome.chromosomes[a->chromosome];
    place_rescued(*a, read.sequence, b.placement_work, b.placement);
    describe_against_reference(chromosome, b.placement_work, b.placement);
    Hit hit = rescued_hit(a->read_number, a->chromosome, b.placement, b.placement.edit_distance,
                          read.sequence.size(), a->intron_strand);
    hit.hit_class = count > 1 ? HitClass::kMulti : HitClass::kHigh;
    HitNumbering numbering{a->chromosome, mapping_quality(hit, count), kept,
                           static_cast<int>(a - first) + 1};
    numbering.score = a->score;
    build_mapped_record(read, hit, b.placement, numbering, b.record_work, b.record.get());
    add_rescue_tag(a->kind, b.record.get());
    keep_record(b);
  }
  ++b.counts.mapped;
  count_single(b.counts.summary, kept);
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

// The errors by which the pairing ranks a rescued alignment: its edit
// distance and its soft-clipped bases.
int rescued_errors(const Placement& p) {
  int clipped = 0;
  for (std::uint32_t entry : p.cigar)
    if (bam_cigar_op(entry) == BAM_CSOFT_CLIP) clipped += static_cast<int>(bam_cigar_oplen(entry));
  return p.edit_distance + clipped;
}

// The mate's rescued alignments as its hits, with their kinds.
void take_rescued(ReadBatch& b, const DatasetRead& read, RescuedIterator first,
                  RescuedIterator last, PlacedMate& m) {
  m.count = static_cast<int>(last - first);
  m.rescued_hits.clear();
  m.scores.clear();
  if (m.placements.size() < static_cast<std::size_t>(m.count))
    m.placements.resize(static_cast<std::size_t>(m.count));
  for (auto a = first; a != last; ++a) {
    check_rescued(b, read, *a);
    Placement& p = m.placements[static_cast<std::size_t>(a - first)];
    place_rescued(*a, read.sequence, b.placement_work, p);
    describe_against_reference(b.input->genome.chromosomes[a->chromosome], b.placement_work, p);
    m.rescued_hits.push_back(rescued_hit(a->read_number, a->chromosome, p, rescued_errors(p),
                                         read.sequence.size(), a->intron_strand));
    m.kinds.push_back(&a->kind);
    m.scores.push_back(a->score);
  }
  m.hits = m.rescued_hits.data();
}

// Places every hit of one mate of the pair starting at read i of the batch,
// or its rescued alignments when they score higher.
void place_mate(ReadBatch& b, std::size_t i, PlacedMate& m) {
  DatasetRead& read = b.reads[i];
  name_read(b, read);
  const auto [first, last] = b.hits[i];
  const auto [rescued, rescued_end] = b.rescued[i];
  m.read = &read;
  m.kinds.clear();
  m.scores.clear();
  if (rescued != rescued_end &&
      rescued_is_better(rescued->score, {first, static_cast<std::size_t>(last - first)})) {
    take_rescued(b, read, rescued, rescued_end, m);
  } else {
    m.hits = first == last ? nullptr : &*first;
    m.count = static_cast<int>(last - first);
    if (m.placements.size() < static_cast<std::size_t>(m.count))
      m.placements.resize(static_cast<std::size_t>(m.count));
    const std::uint32_t hash = sequence_hash(read.sequence);
    for (int k = 0; k < m.count; ++k) {
      check_read(b, read, hash, m.hits[k]);
      place(b, read, m.hits[k], m.placements[static_cast<std::size_t>(k)]);
    }
  }
  ++(m.count > 0 ? b.counts.mapped : b.counts.unmapped);
}

void count_pair(PairCounts& counts, PairKind kind, int pairs_taken) {
  ++counts.pairs;
  switch (kind) {
    case PairKind::kConcordant:
      ++(pairs_taken == 1 ? counts.concordant_once : counts.concordant_more);
      break;
    case PairKind::kDiscordant:
      ++counts.discordant;
      break;
    case PairKind::kOneMate:
      ++counts.one_mate;
      break;
    case PairKind::kNone:
      ++counts.none;
      break;
  }
}

// Partner hits near which a lone mate is searched, at most.
constexpr int kRescuePartners = 8;

// The lone mate of a pair whose other mate has hits, searched near the
// first of those hits; the placement with the fewest errors wins, the
// earlier partner hit on a tie.
void rescue_lone_mate(ReadBatch& b, PairRecordWork& w) {
  if ((w.mates[0].count == 0) == (w.mates[1].count == 0)) return;
  PlacedMate& lone = w.mates[0].count == 0 ? w.mates[0] : w.mates[1];
  const PlacedMate& partner = w.mates[0].count == 0 ? w.mates[1] : w.mates[0];
  if (lone.placements.empty()) lone.placements.resize(1);
  int best = -1;
  for (int k = 0; k < std::min(partner.count, kRescuePartners); ++k) {
    const Hit& hit = partner.hits[k];
    const Placement& p = partner.placements[static_cast<std::size_t>(k)];
    const MateHit near{hit.chromosome, p.position, p.position + reference_length(p.cigar),
                       p.reverse, hit.errors};
    const int errors =
        rescue_mate(lone.read->sequence, near, b.input->genome.chromosomes[hit.chromosome],
                    b.input->max_insert, b.rescue_work, b.placement_work, b.placement);
    if (errors < 0 || (best >= 0 && errors >= best)) continue;
    best = errors;
    std::swap(lone.placements[0], b.placement);
    lone.rescued_hits.assign(
        1, rescued_hit(hit.read_number + (&lone == &w.mates[0] ? -1 : 1), hit.chromosome,
                       lone.placements[0], errors, lone.read->sequence.size(), '.'));
  }
  if (best < 0) return;
  static const std::string kMateKind = "mate";
  lone.hits = lone.rescued_hits.data();
  lone.count = 1;
  lone.kinds.assign(1, &kMateKind);
  lone.scores.clear();
  ++b.counts.mapped;
  --b.counts.unmapped;
  ++b.counts.pairs.mates_rescued;
}

// Reads i and i + 1 of the batch: the two mates of a pair.
void convert_pair(ReadBatch& b, std::size_t i) {
  PairRecordWork& w = b.pair_work;
  place_mate(b, i, w.mates[0]);
  place_mate(b, i + 1, w.mates[1]);
  if (b.input->mate_rescue) rescue_lone_mate(b, w);
  if (!b.input->unmapped) b.counts.unmapped -= (w.mates[0].count == 0) + (w.mates[1].count == 0);
  const int max_hits = b.input->max_hits;
  const PairKind kind =
      write_pair_records({b.input->max_insert, b.input->unmapped, max_hits}, w, b.sink);
  count_pair(b.counts.pairs, kind, static_cast<int>(w.choice.pairs.size()));
  if (kind == PairKind::kConcordant)
    sam::count_pair(b.counts.summary, kept_hits(static_cast<int>(w.choice.pairs.size()), max_hits),
                    0, 0);
  else
    sam::count_pair(b.counts.summary, 0, kept_hits(w.mates[0].count, max_hits),
                    kept_hits(w.mates[1].count, max_hits));
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
    const std::size_t step = b.input->paired ? 2 : 1;
    for (std::size_t i = 0; i < b.count; i += step) {
      for (std::size_t k = i; k < i + step && k + kPrefetchReads < b.count; ++k)
        prefetch_reference(b, k + kPrefetchReads);
      if (step == 2)
        convert_pair(b, i);
      else
        convert_read(b, i);
    }
    if (!b.input->keep_records) b.block.records.clear();
    b.expected_bytes = b.block.records.size();
    if (b.sorted) sort_block(b.block, b.sequence);
  } catch (...) {
    b.error = std::current_exception();
  }
  return batch;
}

// Writes the records before an error, as a plain loop over the reads would
// have, then throws it.
void write_batch(SamOutput& out, ReadCounts& counts, ReadBatch& b) {
  // The records stay in dataset order: a sorted block sorts only its keys.
  if (b.input->tables && !b.error) tally_records(*b.input->tables, b.block.records);
  if (!b.sorted) {
    write_stored_records(out, b.block.records);
  } else if (!b.error) {
    add_sorted_block(out, std::move(b.block));  // the batch fills a new block next time
  }
  if (b.error) std::rethrow_exception(b.error);
  counts.mapped += b.counts.mapped;
  counts.unmapped += b.counts.unmapped;
  counts.renamed += b.counts.renamed;
  const PairCounts& p = b.counts.pairs;
  counts.pairs.pairs += p.pairs;
  counts.pairs.concordant_once += p.concordant_once;
  counts.pairs.concordant_more += p.concordant_more;
  counts.pairs.discordant += p.discordant;
  counts.pairs.one_mate += p.one_mate;
  counts.pairs.none += p.none;
  counts.pairs.mates_rescued += p.mates_rescued;
  add_counts(counts.summary, b.counts.summary);
}

// The reads of the dataset passed, once a batch is written, and the total
// they are of: the run's, or foretold from the share of the dataset read
// (unknown for a pipe). The total is never below the reads passed.
void show_progress(const ConversionInput& input, const RunReads& dataset, const ReadBatch& b) {
  if (!input.progress) return;
  const long done = b.last_read;
  long total = input.total_reads;
  if (total < 0) {
    const double share = dataset.share_read();
    total = share > 0 ? std::lround(static_cast<double>(dataset.count()) / share) : -1;
  }
  input.progress->update(done, total < 0 ? -1 : std::max(total, done));
}

void write_and_show(SamOutput& out, ReadCounts& counts, ReadBatch& b, const RunReads& dataset) {
  write_batch(out, counts, b);
  show_progress(*b.input, dataset, b);
}

// The hits of the read just read, from `next` on.
std::pair<HitIterator, HitIterator> hits_of(const RunReads& dataset, HitIterator& next,
                                            HitIterator end) {
  const long number = dataset.count();
  const HitIterator first = next;
  while (next != end && next->read_number == number) ++next;
  return {first, next};
}

// The rescued alignments of the read just read, from `next` on.
std::pair<RescuedIterator, RescuedIterator> rescued_of(const RunReads& dataset,
                                                       RescuedIterator& next, RescuedIterator end) {
  const long number = dataset.count();
  const RescuedIterator first = next;
  while (next != end && next->read_number == number) ++next;
  return {first, next};
}

struct RescuedCursor {
  RescuedIterator next, end;
};

// Reads the next reads to convert into the batch; false when there are none.
// The reads without an alignment go to the unmapped FASTQ as they are read;
// the dataset is read to its end when they are written, or counted.
bool fill_batch(ReadBatch& b, RunReads& dataset, HitIterator& next, HitIterator end,
                RescuedCursor& rescued) {
  const bool unmapped = b.input->unmapped;
  UnmappedFastq* const fastq = b.input->unmapped_fastq;
  b.count = 0;
  const bool every_read = unmapped || fastq || b.input->read_all;
  while (b.count < kBatchReads && (next != end || rescued.next != rescued.end || every_read) &&
         dataset.next(b.reads[b.count])) {
    b.hits[b.count] = hits_of(dataset, next, end);
    b.rescued[b.count] = rescued_of(dataset, rescued.next, rescued.end);
    const bool any = b.hits[b.count].first != b.hits[b.count].second ||
                     b.rescued[b.count].first != b.rescued[b.count].second;
    if (!any && fastq) fastq->write_single(b.reads[b.count]);
    if (any || unmapped) ++b.count;
  }
  return b.count > 0;
}

// The same for pairs: both mates, when either has a hit or with --unmapped.
// Pairs left out count as pairs without a hit.
bool fill_pair_batch(ReadBatch& b, RunReads& dataset, HitIterator& next, HitIterator end,
                     RescuedCursor& rescued, long& pairs_left_out) {
  const bool unmapped = b.input->unmapped;
  UnmappedFastq* const fastq = b.input->unmapped_fastq;
  b.count = 0;
  while (b.count < kBatchReads && dataset.next(b.reads[b.count])) {
    b.hits[b.count] = hits_of(dataset, next, end);
    b.rescued[b.count] = rescued_of(dataset, rescued.next, rescued.end);
    dataset.next(b.reads[b.count + 1]);  // mate 2 is there, or that threw
    b.hits[b.count + 1] = hits_of(dataset, next, end);
    b.rescued[b.count + 1] = rescued_of(dataset, rescued.next, rescued.end);
    // The two ranges of each follow each other: together they are empty
    // when neither mate has a hit or a rescued alignment.
    const bool any = b.hits[b.count].first != b.hits[b.count + 1].second ||
                     b.rescued[b.count].first != b.rescued[b.count + 1].second;
    if (!any && fastq) fastq->write_pair(b.reads[b.count], b.reads[b.count + 1]);
    if (any || unmapped)
      b.count += 2;
    else
      ++pairs_left_out;
  }
  return b.count > 0;
}

}  // namespace

ReadCounts convert_reads(const ConversionInput& input, RunReads& dataset, SamOutput& out,
                         hts_tpool* pool) {
  ReadCounts counts;
  long pairs_left_out = 0;
  BatchQueue queue =
      make_batch_queue(input, dataset.path(), out.sorter != nullptr, pool, convert_batch);
  auto next = input.run.hits.cbegin();
  const auto end = input.run.hits.cend();
  static const std::vector<RescuedAlignment> kNoneRescued;
  const auto& all_rescued = input.rescued ? *input.rescued : kNoneRescued;
  RescuedCursor rescued{all_rescued.cbegin(), all_rescued.cend()};
  std::exception_ptr dataset_error;
  for (bool more = true; more;) {
    if (queue.given - queue.taken == queue.batches.size())
      write_and_show(out, counts, take(queue), dataset);
    try {
      more = input.paired ? fill_pair_batch(batch_to_fill(queue), dataset, next, end, rescued,
                                            pairs_left_out)
                          : fill_batch(batch_to_fill(queue), dataset, next, end, rescued);
    } catch (const Error&) {
      dataset_error = std::current_exception();
      more = false;
    }
    batch_to_fill(queue).last_read = dataset.count();
    if (batch_to_fill(queue).count > 0) give(queue);
  }
  while (queue.taken != queue.given) write_and_show(out, counts, take(queue), dataset);
  if (dataset_error) std::rethrow_exception(dataset_error);
  counts.pairs.pairs += pairs_left_out;
  counts.pairs.none += pairs_left_out;
  counts.summary.paired = input.paired;
  counts.summary.reads = input.paired ? dataset.count() / 2 : dataset.count();
  if (next != end)
    throw InputError(describe_hit(input.run, *next) + " names read " +
                     std::to_string(next->read_number) + ", but the dataset '" + dataset.path() +
                     "' holds " + std::to_string(dataset.count()) + " reads");
  if (rescued.next != rescued.end)
    throw InputError("rescued alignment of read " + std::to_string(rescued.next->read_number) +
                     " (line " + std::to_string(rescued.next->line) + "): the dataset '" +
                     dataset.path() + "' holds " + std::to_string(dataset.count()) + " reads");
  return counts;
}

}  // namespace quilm::sam
