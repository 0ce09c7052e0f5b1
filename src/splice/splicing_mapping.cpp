#include "splice/splicing_mapping.hpp"

#include <cstdint>
#include <string>
#include <vector>

#include "common/errors.hpp"
#include "common/numbered_reads.hpp"
#include "common/output_file.hpp"
#include "common/seed_code.hpp"
#include "common/seed_lengths.hpp"
#include "splice/splice_candidates.hpp"
#include "splice/splice_levels.hpp"
#include "splice/splice_pairs.hpp"
#include "worker/index_store.hpp"
#include "worker/seed_index.hpp"

namespace quilm {

namespace {

constexpr std::size_t kResultBlock = 20'000'000;

// Work areas of one segment's mapping, grown to the largest read and then
// reused, so that the read loop allocates nothing in the steady state.
struct SpliceWork {
  std::string reverse;
  std::vector<std::int64_t> ids;
  std::vector<std::int64_t> reverse_ids;
  CandidateWork collect;
  std::vector<SpliceCandidate> candidates;
  std::vector<SpliceCandidate> reverse_candidates;
  std::vector<char> usable;
  std::vector<SplicePair> pairs;
  std::vector<SplicePair> reverse_pairs;
  LevelWork levels;
};

// Translates the seed keys of the read and of its reverse complement into
// index ids; the cache hints go out first so that the misses overlap.
template <class Index>
void translate_ids(const Index& index, std::vector<std::int64_t>& ids,
                   std::vector<std::int64_t>& reverse_ids) {
  for (const std::int64_t key : ids) index.prefetch_key(key);
  for (const std::int64_t key : reverse_ids) index.prefetch_key(key);
  for (std::int64_t& id : ids) id = index.translate(id);
  for (std::int64_t& id : reverse_ids) id = index.translate(id);
  for (const std::int64_t id : ids) index.prefetch_id(id);
  for (const std::int64_t id : reverse_ids) index.prefetch_id(id);
}

template <class Index>
void map_split_read(const Segment& segment, const Index& index, const SpliceSettings& s,
                    std::int64_t pair_cap, const NumberedRead& read, SpliceWork& w,
                    OutputFile& out) {
  const int length = static_cast<int>(read.sequence.size());
  const int c = s.seed_length;
  if (length < c) return;  // no complete seed
  reverse_complement(read.sequence, w.reverse);
  int rem = 0;
  int reverse_rem = 0;
  const int seeds = transnum_x(read.sequence, c, w.ids, rem);
  transnum_x(w.reverse, c, w.reverse_ids, reverse_rem);
  translate_ids(index, w.ids, w.reverse_ids);

  // A reverse-complement placement must end before the segment's last base.
  const std::int64_t last_start = static_cast<std::int64_t>(segment.length) - length + 1;
  collect_candidates(index, w.ids, length, c, last_start, w.collect, w.candidates);
  collect_candidates(index, w.reverse_ids, length, c, last_start - 1, w.collect,
                     w.reverse_candidates);

  const PairRules rules{c, seeds, s.max_errors, s.min_gap_distance, s.max_gap_distance, pair_cap};
  form_pairs(w.candidates, read.sequence, segment.data(), rules, DonorSet::kForward, w.usable,
             w.pairs);
  form_pairs(w.reverse_candidates, w.reverse, segment.data(), rules, DonorSet::kReverse, w.usable,
             w.reverse_pairs);

  const SplitRead split{read.number, read.sequence, w.reverse, seeds, rem};
  write_split_records(split, segment.data(), w.pairs, w.reverse_pairs, c, s.max_errors, w.levels,
                      out);
}

// Room of each pair list: the most candidates that a read of
// max_read_length bases can have, times its seed count plus two.
std::int64_t pair_capacity(std::int32_t max_bucket, const SpliceSettings& s) {
  const std::int64_t per_read = s.max_read_length / s.seed_length;
  return std::int64_t{max_bucket} * (per_read + 1) * (per_read + 2);
}

template <class Index>
void map_split_reads(const Segment& segment, const Index& index, const SpliceSettings& s,
                     NumberedReadReader& reads, const std::string& result_path) {
  OutputFile out(result_path, OutputFile::Mode::kTruncate, kResultBlock);
  const std::int64_t pair_cap = pair_capacity(index.max_bucket, s);
  SpliceWork work;
  NumberedRead read;
  while (reads.next(read)) map_split_read(segment, index, s, pair_cap, read, work, out);
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
  const Segment segment = load_segment(segment_path, settings.masked_toggle);
  const SeedIndex index = obtain_seed_index(segment, settings.seed_length, settings.masked_toggle,
                                            settings.index_store);
  map_split_reads(segment, index, settings, reads, result_path);
}

void splicing_mapping_red(const std::string& segment_path, const std::string& read_path,
                          const std::string& result_path, const SpliceSettings& settings,
                          ReadSlice slice) {
  check_settings(settings);
  NumberedReadReader reads(read_path, slice);
  const Segment segment = load_segment(segment_path, settings.masked_toggle);
  const ReducedSeedIndex index = obtain_reduced_seed_index(
      segment, settings.seed_length, settings.masked_toggle, settings.index_store);
  map_split_reads(segment, index, settings, reads, result_path);
}

}  // namespace quilm
