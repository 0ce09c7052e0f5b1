#include "pipeline/result_combine.hpp"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "common/errors.hpp"
#include "common/mapping_record.hpp"
#include "common/numbered_reads.hpp"
#include "common/output_file.hpp"
#include "common/output_records.hpp"
#include "common/paths.hpp"
#include "common/run_config.hpp"
#include "common/segment_index.hpp"
#include "common/work_files.hpp"

namespace quilm {

namespace {

constexpr std::uint8_t kNoHit = 100;
enum HitState : std::uint8_t { kNone = 1, kOne = 2, kMany = 3 };

void check_read_number(const std::string& path, int read_number, int read_count) {
  if (read_number > read_count)
    throw InputError("'" + path + "' names read " + std::to_string(read_number) +
                     ", but the run has only " + std::to_string(read_count) + " reads");
}

// Calls f(record) for each usable record of a segment's result file; a file
// that does not exist (a segment no process mapped) has no records.
template <typename F>
void for_each_hit(const std::string& path, int read_count, F&& f) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return;
  MappingRecordReader reader(path);
  MappingRecord r;
  while (reader.next(r)) {
    if (r.read_number < 0 || r.position < 0) continue;
    check_read_number(path, r.read_number, read_count);
    f(r);
  }
}

void best_pass(const std::string& work_folder, int segment_count, int read_count,
               std::vector<std::uint8_t>& best) {
  for (int s = 1; s <= segment_count; ++s) {
    for_each_hit(numbered_path(work_folder, s, kResultSuffix), read_count,
                 [&](const MappingRecord& r) {
                   if (r.errors >= 0 && r.errors < best[r.read_number])
                     best[r.read_number] = static_cast<std::uint8_t>(r.errors);
                 });
  }
}

void merge_pass(const RunConfig& run, const std::string& merged_path,
                const std::vector<std::uint8_t>& best, std::vector<std::uint8_t>& state,
                CombineCounts& counts) {
  const std::string& work_folder = run.work_folder;
  const int segment_count = run.segment_count;
  const int read_count = run.read_count;
  const int export_all_toggle = run.export_all_toggle;
  SegmentIndex index(work_folder, segment_count);
  OutputFile merged(merged_path, OutputFile::Mode::kAppend);
  MappingOutputRecord out;
  for (int s = 1; s <= segment_count; ++s) {
    if (export_all_toggle != 0 && export_all_toggle != 1) continue;
    for_each_hit(numbered_path(work_folder, s, kResultSuffix), read_count,
                 [&](const MappingRecord& r) {
                   const std::uint8_t b = best[r.read_number];
                   if (b == kNoHit || r.errors != b) return;
                   std::uint8_t& st = state[r.read_number];
                   const bool write = export_all_toggle == 1 || st == kNone;
                   if (st == kNone) {
                     st = kOne;
                     ++counts.matched;
                   } else if (st == kOne) {
                     st = kMany;
                     ++counts.multi_matched;
                   }
                   if (!write) return;
                   const SegmentIndexLine& line = index.locate(s, r.position);
                   out.read_number = r.read_number;
                   out.sequence = r.sequence;
                   out.strand = r.strand;
                   out.chromosome = line.name;
                   out.errors = r.errors;
                   out.position = r.position - line.offset + line.position;
                   write_mapping_output_record(merged, out);
                 });
  }
  merged.close();
}

void next_cycle_pass(const RunConfig& run, int seed_length, const std::string& cycle_read_path,
                     const std::vector<std::uint8_t>& best, CombineCounts& counts) {
  const int read_count = run.read_count;
  const int max_errors = run.max_errors;
  const int indel_toggle = run.indel_toggle;
  OutputFile next(numbered_path(run.work_folder, seed_length, kCycleReadSuffix));
  NumberedReadReader reader(cycle_read_path);
  NumberedRead read;
  while (reader.next(read) && read.number >= 0) {
    check_read_number(cycle_read_path, read.number, read_count);
    if (best[read.number] != kNoHit) {
      ++counts.with_hit;
      continue;
    }
    // Without indels a read goes on only while a shorter seed can still hold
    // an exact seed among at most max_errors mismatches.
    const bool pass =
        indel_toggle == 1 || static_cast<long>(read.sequence.size()) / seed_length <= max_errors;
    if (!pass) continue;
    write_numbered_read(next, read.number, read.sequence);
    ++counts.next_cycle;
  }
  next.close();
}

}  // namespace

int result_combine(const RunConfig& run, const std::string& merged_path, int seed_length,
                   const std::string& cycle_read_path, CombineCounts* counts_out) {
  const int read_count = run.read_count;
  const int segment_count = run.segment_count;
  const std::string& work_folder = run.work_folder;
  std::vector<std::uint8_t> best(static_cast<std::size_t>(read_count) + 1, kNoHit);
  std::vector<std::uint8_t> state(static_cast<std::size_t>(read_count) + 1, kNone);
  CombineCounts counts;
  best_pass(work_folder, segment_count, read_count, best);
  merge_pass(run, merged_path, best, state, counts);
  next_cycle_pass(run, seed_length, cycle_read_path, best, counts);
  append_stage_result(kConfigFile, {seed_length, "seed mapping", counts.matched,
                                    counts.multi_matched, counts.next_cycle, counts.with_hit});
  if (counts_out) *counts_out = counts;
  return counts.next_cycle > 0 ? 1 : 0;
}

int tongji(const std::string& path) {
  MappingOutputReader reader(path);
  MappingOutputRecord record;
  int count = 0;
  while (reader.next(record)) ++count;
  return count;
}

AlignmentCounts mapping_alignments(const std::string& path, int read_count) {
  std::vector<std::uint8_t> best(static_cast<std::size_t>(read_count) + 1, 255);
  std::vector<std::uint8_t> at_best(best.size(), 0);  // hits at the best count, up to 2
  MappingOutputReader reader(path);
  MappingOutputRecord record;
  while (reader.next(record)) {
    if (record.read_number < 1 || record.read_number > read_count) continue;
    const auto r = static_cast<std::size_t>(record.read_number);
    const auto errors = static_cast<std::uint8_t>(std::clamp(record.errors, 0, 254));
    if (errors < best[r]) {
      best[r] = errors;
      at_best[r] = 1;
    } else if (errors == best[r] && at_best[r] < 2) {
      ++at_best[r];
    }
  }
  AlignmentCounts counts;
  counts.reads = read_count;
  for (std::uint8_t n : at_best) {
    counts.once += n == 1;
    counts.more += n == 2;
  }
  return counts;
}

}  // namespace quilm
