#include "splice/splicing_mapping.hpp"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <span>
#include <string>
#include <vector>

#include "common/errors.hpp"
#include "common/numbered_reads.hpp"
#include "common/output_file.hpp"
#include "common/progress_counter.hpp"
#include "common/seed_code.hpp"
#include "common/seed_lengths.hpp"
#include "splice/splice_candidates.hpp"
#include "splice/splice_levels.hpp"
#include "splice/splice_pairable.hpp"
#include "splice/splice_pairs.hpp"
#include "worker/index_store.hpp"
#include "worker/seed_index.hpp"
#include "worker/seed_lookups.hpp"

namespace quilm {

namespace {

constexpr std::size_t kResultBlock = 20'000'000;

// One read of a batch, and what the batch's preparation found for it.
struct SplitBatchRead {
  NumberedRead read;
  std::string reverse;  // its reverse complement
  int seeds = 0;        // 0 when the read is shorter than a seed
  int rem = 0;
  std::size_t forward_seeds = 0;  // lookup numbers of the seeds of each strand
  std::size_t reverse_seeds = 0;
  std::uint64_t forward_voting = 0;  // bit j: seed j of the strand has a key
  std::uint64_t reverse_voting = 0;
};

// Work areas of one segment's mapping, grown to the largest read and then
// reused, so that the read loop allocates nothing in the steady state.
struct SpliceWork {
  std::vector<std::int64_t> keys;
  std::vector<std::int64_t> reverse_keys;
  SeedLookups lookups;
  CandidateWork collect;
  PairableWork pairable;
  std::vector<SpliceCandidate> candidates;
  std::vector<SpliceCandidate> reverse_candidates;
  std::vector<std::uint64_t> masks;
  std::vector<std::uint64_t> reverse_masks;
  PairList pairs;
  PairList reverse_pairs;
  SeedZones zones;
  SeedZones reverse_zones;
  CutSites sites;
  CutSites reverse_sites;
  LevelWork levels;
};

// Seed keys of the read and of its reverse complement, queued for lookup.
void queue_seeds(SplitBatchRead& b, int seed_length, SpliceWork& w) {
  b.seeds = transnum_x(b.read.sequence, seed_length, w.keys, b.rem);
  if (b.seeds == 0) return;  // no complete seed
  reverse_complement(b.read.sequence, b.reverse);
  reverse_seed_keys(w.keys, b.reverse, seed_length, w.reverse_keys);
  b.forward_seeds = w.lookups.add(w.keys);
  b.reverse_seeds = w.lookups.add(w.reverse_keys);
  b.forward_voting = voting_seeds(w.keys);
  b.reverse_voting = voting_seeds(w.reverse_keys);
}

void map_split_read(const Segment& segment, const SpliceSettings& s, std::int64_t pair_cap,
                    const SplitBatchRead& b, SpliceWork& w, OutputFile& out) {
  if (b.seeds == 0) return;
  const int length = static_cast<int>(b.read.sequence.size());
  const int c = s.seed_length;
  // A reverse-complement placement must end before the segment's last base.
  const std::int64_t last_start = static_cast<std::int64_t>(segment.length) - length + 1;
  const int lowest_level = minimum_hit_sum(b.seeds, b.rem, s.max_errors) + 1;
  if (lowest_level > b.seeds) return;  // no level to run
  const auto forward_buckets = w.lookups.buckets(b.forward_seeds);
  const auto reverse_buckets = w.lookups.buckets(b.reverse_seeds);
  // Only pairs of hit sums from lowest_level up are ever evaluated (and the
  // pair list's threshold is never set below lowest_level - 1).
  const PairableRule pairable{std::max(2, lowest_level), std::max(1, s.min_gap_distance),
                              s.max_gap_distance};
  collect_pairable(forward_buckets, length, c, last_start, pairable, w.collect, w.pairable,
                   w.candidates, w.masks);
  collect_pairable(reverse_buckets, length, c, last_start - 1, pairable, w.collect, w.pairable,
                   w.reverse_candidates, w.reverse_masks);

  const PairRules rules{c, b.seeds, s.max_errors, s.min_gap_distance, s.max_gap_distance, pair_cap};
  w.pairs.form(w.candidates, w.masks, b.read.sequence, segment.data(), rules, DonorSet::kForward,
               lowest_level);
  w.reverse_pairs.form(w.reverse_candidates, w.reverse_masks, b.reverse, segment.data(), rules,
                       DonorSet::kReverse, lowest_level);
  if (w.pairs.empty() && w.reverse_pairs.empty()) return;
  const int lo = std::max(1, c);
  const int hi = std::min(length - 3, length - c - 1);
  w.zones.reset(length, c, b.seeds, b.forward_voting, s.max_errors, lo, hi);
  w.reverse_zones.reset(length, c, b.seeds, b.reverse_voting, s.max_errors, lo, hi);
  w.sites.reset(b.read.sequence, segment.data(), w.candidates, c, s.max_errors);
  w.reverse_sites.reset(b.reverse, segment.data(), w.reverse_candidates, c, s.max_errors);

  const SplitRead split{b.read.number, b.read.sequence, b.reverse, b.seeds, b.rem};
  write_split_records(split, segment.data(), {w.pairs, w.zones, w.sites},
                      {w.reverse_pairs, w.reverse_zones, w.reverse_sites}, c, s.max_errors,
                      w.levels, out);
}

// Room of each pair list: the most candidates that a read of
// max_read_length bases can have, times its seed count plus two.
std::int64_t pair_capacity(std::int32_t max_bucket, const SpliceSettings& s) {
  const std::int64_t per_read = s.max_read_length / s.seed_length;
  return std::int64_t{max_bucket} * (per_read + 1) * (per_read + 2);
}

// Reads are taken in batches: the seeds of the whole batch are looked up
// first, then its reads are mapped in order.
template <class Index>
void map_split_reads(const Segment& segment, const Index& index, const SpliceSettings& s,
                     NumberedReadReader& reads, const std::string& result_path) {
  OutputFile out(result_path, OutputFile::Mode::kTruncate, kResultBlock);
  const std::int64_t pair_cap = pair_capacity(index.max_bucket, s);
  SpliceWork work;
  std::vector<SplitBatchRead> batch(kLookupBatchReads);
  for (;;) {
    std::exception_ptr failure;
    const std::size_t count = read_batch(reads, std::span(batch), failure);
    const auto part = std::span(batch).first(count);
    work.lookups.clear();
    for (SplitBatchRead& b : part) queue_seeds(b, s.seed_length, work);
    work.lookups.look_up(index);
    for (const SplitBatchRead& b : part) map_split_read(segment, s, pair_cap, b, work, out);
    if (s.progress) s.progress->add(static_cast<long>(count));
    if (failure) std::rethrow_exception(failure);
    if (count < batch.size()) break;
  }
  out.close();
}

void check_settings(const SpliceSettings& s) {
  require_indexable_seed(s.seed_length);
  if (s.max_read_length < 1)
    throw UsageError("maximum read length " + std::to_string(s.max_read_length) +
                     " is not positive");
}

}  // namespace

void splicing_mapping(const std::string& segment_path, const std::string& read_path,
                      const std::string& result_path, const SpliceSettings& settings,
                      ReadSlice slice) {
  check_settings(settings);
  // The read file is opened first so that a missing one is reported before
  // the index is built.
  NumberedReadReader reads(read_path, slice);
  JobMemory* memory = settings.memory;
  Segment segment =
      load_segment(segment_path, settings.masked_toggle, memory ? &memory->bases : nullptr);
  SeedIndex index = obtain_seed_index(segment, settings.seed_length, settings.masked_toggle,
                                      settings.index_store, index_copy(memory, slice));
  map_split_reads(segment, index, settings, reads, result_path);
  give_back(memory, slice, std::move(segment), std::move(index.memory));
}

void splicing_mapping_red(const std::string& segment_path, const std::string& read_path,
                          const std::string& result_path, const SpliceSettings& settings,
                          ReadSlice slice) {
  check_settings(settings);
  NumberedReadReader reads(read_path, slice);
  JobMemory* memory = settings.memory;
  Segment segment =
      load_segment(segment_path, settings.masked_toggle, memory ? &memory->bases : nullptr);
  ReducedSeedIndex index =
      obtain_reduced_seed_index(segment, settings.seed_length, settings.masked_toggle,
                                settings.index_store, index_copy(memory, slice));
  map_split_reads(segment, index, settings, reads, result_path);
  give_back(memory, slice, std::move(segment), std::move(index.memory));
}

}  // namespace quilm
