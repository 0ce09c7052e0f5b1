#include "pipeline/final_merge.hpp"

#include <cstdint>
#include <vector>

#include "common/errors.hpp"
#include "common/output_records.hpp"
#include "common/paths.hpp"
#include "common/work_files.hpp"
#include "pipeline/merged_splice_record.hpp"
#include "pipeline/pending_output.hpp"

namespace quilm {

namespace {

// Classes of a read's best hits; 1 means no hit yet.
enum : std::uint8_t {
  kNone = 1,
  kMapHigh = 2,
  kMapHighMulti = 3,
  kMapLow = 4,
  kMapLowMulti = 5,
  kSpliceHigh = 6,
  kSpliceHighMulti = 7,
  kSpliceLow = 8,
  kSpliceLowMulti = 9,
};

// High quality: at most 5% of the read's bases wrong, plus 1.5.
bool high_quality(int errors, std::size_t length) {
  return errors <= 0.05 * static_cast<double>(length) + 1.5;
}

struct ReadTables {
  std::vector<std::uint8_t> best;
  std::vector<std::uint8_t> state;
  int read_count;

  explicit ReadTables(int count)
      : best(static_cast<std::size_t>(count) + 1, 100),
        state(static_cast<std::size_t>(count) + 1, kNone),
        read_count(count) {}

  // A strictly lower count replaces the class; an equal one in the same
  // class makes the read a multiple hit.
  void consider(const std::string& path, long long read, int errors, std::size_t length,
                std::uint8_t single) {
    if (read < 0 || read > read_count)
      throw InputError("'" + path + "' names read " + std::to_string(read) + " outside 1.." +
                       std::to_string(read_count));
    const std::uint8_t cls = high_quality(errors, length) ? single : single + 2;
    if (errors < best[read]) {
      best[read] = static_cast<std::uint8_t>(errors < 0 ? 0 : errors);
      state[read] = cls;
    } else if (errors == best[read] && state[read] == cls) {
      state[read] = cls + 1;
    }
  }

  // The reads by the class of their best hits, as the six files hold them.
  AlignmentCounts counts() const {
    AlignmentCounts c;
    c.reads = read_count;
    for (std::size_t r = 1; r < state.size(); ++r) {
      const std::uint8_t s = state[r];
      if (s == kNone) continue;
      const bool multi =
          s == kMapHighMulti || s == kMapLowMulti || s == kSpliceHighMulti || s == kSpliceLowMulti;
      ++(multi ? c.more : c.once);
      if (s >= kSpliceHigh) ++c.split;
    }
    return c;
  }
};

}  // namespace

AlignmentCounts compare_quilm2splice(const std::string& output_path, const std::string& work_folder,
                                     int read_count, RunGuard* guard,
                                     const RunPublication* publication) {
  const std::string mapped_path = join_path(work_folder, kMappedHitFile);
  const std::string spliced_path = join_path(work_folder, kSplicedHitFile);
  ReadTables t(read_count);
  MappingOutputRecord m;
  MergedSpliceRecord s;
  {
    MappingOutputReader in(mapped_path);
    while (in.next(m))
      t.consider(mapped_path, m.read_number, m.errors, m.sequence.size(), kMapHigh);
  }
  {
    MergedSpliceReader in(spliced_path);
    while (in.next(s))
      t.consider(spliced_path, s.hit.read_number, s.hit.errors, s.hit.sequence.size(), kSpliceHigh);
  }
  PendingOutput pending[] = {PendingOutput(output_path + kOutputSuffixes[0], guard),
                             PendingOutput(output_path + kOutputSuffixes[1], guard),
                             PendingOutput(output_path + kOutputSuffixes[2], guard),
                             PendingOutput(output_path + kOutputSuffixes[3], guard),
                             PendingOutput(output_path + kOutputSuffixes[4], guard),
                             PendingOutput(output_path + kOutputSuffixes[5], guard)};
  OutputFile map_high(pending[0].path()), map_low(pending[1].path()), map_multi(pending[2].path()),
      splice_high(pending[3].path()), splice_low(pending[4].path()),
      splice_multi(pending[5].path());
  {
    MappingOutputReader in(mapped_path);
    while (in.next(m)) {
      if (m.errors != t.best[m.read_number]) continue;
      const std::uint8_t st = t.state[m.read_number];
      OutputFile* out = st == kMapHigh                                ? &map_high
                        : st == kMapLow                               ? &map_low
                        : (st == kMapHighMulti || st == kMapLowMulti) ? &map_multi
                                                                      : nullptr;
      if (out) write_mapping_output_record(*out, m);
    }
  }
  {
    MergedSpliceReader in(spliced_path);
    while (in.next(s)) {
      if (s.hit.errors != t.best[s.hit.read_number]) continue;
      const std::uint8_t st = t.state[s.hit.read_number];
      OutputFile* out = st == kSpliceHigh                                   ? &splice_high
                        : st == kSpliceLow                                  ? &splice_low
                        : (st == kSpliceHighMulti || st == kSpliceLowMulti) ? &splice_multi
                                                                            : nullptr;
      if (out) write_splice_output_record(*out, s.hit);
    }
  }
  for (OutputFile* f : {&map_high, &map_low, &map_multi, &splice_high, &splice_low, &splice_multi})
    f->close();
  publish_run_outputs(pending, publication, guard);
  return t.counts();
}

}  // namespace quilm
