#include "pipeline/splice_stage.hpp"

#include <cstdint>
#include <filesystem>
#include <vector>

#include "common/errors.hpp"
#include "common/numbered_reads.hpp"
#include "common/output_records.hpp"
#include "common/paths.hpp"
#include "common/run_config.hpp"
#include "common/segment_index.hpp"
#include "common/splice_record.hpp"
#include "common/work_files.hpp"
#include "pipeline/merged_splice_record.hpp"

namespace quilm {

namespace {

constexpr std::uint8_t kNoHit = 100;

void check_read_number(const std::string& path, long long read_number, int read_count) {
  if (read_number > read_count)
    throw InputError("'" + path + "' names read " + std::to_string(read_number) +
                     ", but the run has only " + std::to_string(read_count) + " reads");
}

std::uint8_t as_byte(int errors) {
  return static_cast<std::uint8_t>(errors < 0 ? 0 : errors > 255 ? 255 : errors);
}

// Calls f(record) for every usable record of a segment's splice results: a
// non-negative read number, both placements non-negative and a split after
// the first base. A file that does not exist has no records.
template <typename F>
void for_each_split_hit(const std::string& path, int read_count, F&& f) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return;
  SpliceRecordReader reader(path);
  SpliceRecord r;
  while (reader.next(r)) {
    if (r.read_number < 0 || r.first_position < 0 || r.second_position < 0 || r.split <= 0)
      continue;
    check_read_number(path, r.read_number, read_count);
    f(r);
  }
}

}  // namespace

long splice_chang_fastqfile(const std::string& work_folder, int read_count) {
  std::vector<std::uint8_t> errors(static_cast<std::size_t>(read_count) + 1, kNoHit);
  const std::string merged = join_path(work_folder, kMappedHitFile);
  MappingOutputReader hits(merged);
  MappingOutputRecord hit;
  while (hits.next(hit)) {
    if (hit.read_number < 0) continue;
    check_read_number(merged, hit.read_number, read_count);
    errors[hit.read_number] = as_byte(hit.errors);  // the last record of a read counts
  }
  const std::string all = join_path(work_folder, kReadFile);
  NumberedReadReader reads(all);
  OutputFile out(join_path(work_folder, kSpliceReadFile));
  NumberedRead read;
  long written = 0;
  while (reads.next(read)) {
    if (read.number < 0) continue;
    check_read_number(all, read.number, read_count);
    if (errors[read.number] <= 1) continue;
    write_numbered_read(out, read.number, read.sequence);
    ++written;
  }
  out.close();
  return written;
}

namespace {

void merge_split_hits(const std::string& work_folder, int segment_count, int read_count,
                      const std::string& merged_path, const std::vector<std::uint8_t>& best,
                      SpliceCombineCounts& counts) {
  OutputFile merged(merged_path, OutputFile::Mode::kAppend);
  if (segment_count <= 0) return merged.close();
  SegmentIndex index(work_folder, segment_count);
  std::vector<std::uint8_t> state(static_cast<std::size_t>(read_count) + 1, 1);
  MergedSpliceRecord out;
  for (int s = 1; s <= segment_count; ++s) {
    for_each_split_hit(numbered_path(work_folder, s, kResultSuffix), read_count,
                       [&](const SpliceRecord& r) {
                         const std::uint8_t b = best[r.read_number];
                         if (b == kNoHit || r.errors != b) return;
                         ++counts.match_records;
                         std::uint8_t& st = state[r.read_number];
                         if (st == 1) {
                           st = 2;
                         } else if (st == 2) {
                           st = 3;
                           ++counts.multi_matched;
                         }
                         const SegmentIndexLine& first = index.locate(s, r.first_position);
                         const SegmentIndexLine& second = index.locate(s, r.second_position);
                         // Parts on different chromosomes are counted but cannot be written.
                         if (first.ordinal != second.ordinal) return;
                         out.hit = {r.read_number,
                                    r.sequence,
                                    r.strand,
                                    first.name,
                                    r.split,
                                    r.errors,
                                    r.first_position - first.offset + first.position,
                                    r.second_position - second.offset + second.position};
                         out.signals = r.signals;
                         write_merged_splice_record(merged, out);
                       });
  }
  merged.close();
}

}  // namespace

int splice_result_combine(const RunConfig& run, const std::string& merged_path,
                          const std::string& read_file_path, SpliceCombineCounts* counts_out) {
  const int read_count = run.read_count;
  const int segment_count = run.segment_count;
  const std::string& work_folder = run.work_folder;
  const int seed = run.splice_seed_length;
  std::vector<std::uint8_t> best(static_cast<std::size_t>(read_count) + 1, kNoHit);
  SpliceCombineCounts counts;
  for (int s = 1; s <= segment_count; ++s) {
    for_each_split_hit(numbered_path(work_folder, s, kResultSuffix), read_count,
                       [&](const SpliceRecord& r) {
                         if (r.errors >= 0 && r.errors < best[r.read_number])
                           best[r.read_number] = as_byte(r.errors);
                       });
  }
  merge_split_hits(work_folder, segment_count, read_count, merged_path, best, counts);

  OutputFile next(numbered_path(work_folder, seed, kCycleReadSuffix));
  NumberedReadReader reads(read_file_path);
  NumberedRead read;
  while (reads.next(read) && read.number >= 0) {
    check_read_number(read_file_path, read.number, read_count);
    if (best[read.number] == kNoHit) {
      write_numbered_read(next, read.number, read.sequence);
      ++counts.next_match;
    } else {
      ++counts.matched;
    }
  }
  next.close();
  append_stage_result(kConfigFile, {seed, "seed splice mapping", counts.match_records,
                                    counts.multi_matched, counts.next_match, counts.matched});
  if (counts_out) *counts_out = counts;
  return counts.next_match > 0 ? 1 : 0;
}

int splice_tongji(const std::string& path) {
  SpliceOutputReader reader(path);
  SpliceOutputRecord record;
  int count = 0;
  while (reader.next(record)) ++count;
  return count;
}

}  // namespace quilm
