#include "pipeline/rescue_stage.hpp"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <optional>
#include <tuple>

#include "common/cigar.hpp"
#include "common/errors.hpp"
#include "common/junction_file.hpp"
#include "common/numbered_reads.hpp"
#include "common/output_records.hpp"
#include "common/paths.hpp"
#include "common/segment_index.hpp"
#include "common/work_files.hpp"
#include "pipeline/junction_sources.hpp"
#include "pipeline/merged_splice_record.hpp"
#include "pipeline/pending_output.hpp"

namespace quilm {

namespace {

constexpr std::uint8_t kNoHit = 100;

struct EarlierHits {
  std::vector<std::uint8_t> errors;  // lowest error count, kNoHit for none
  std::vector<bool> contiguous;      // a contiguous hit has that count
  std::vector<std::uint8_t> places;  // hits with that count: 0, 1, or 2 for two or more
};

void check_read(const std::string& path, long long read, int read_count) {
  if (read < 1 || read > read_count)
    throw InputError("'" + path + "' names read " + std::to_string(read) + ", but the run has " +
                     std::to_string(read_count) + " reads");
}

void offer(EarlierHits& e, long long read, int errors, bool contiguous) {
  if (errors < 0 || errors >= kNoHit) return;
  const auto k = static_cast<std::size_t>(read);
  auto& best = e.errors[k];
  if (errors < best) {
    best = static_cast<std::uint8_t>(errors);
    e.contiguous[k] = contiguous;
    e.places[k] = 1;
  } else if (errors == best) {
    if (contiguous) e.contiguous[k] = true;
    e.places[k] = 2;
  }
}

EarlierHits earlier_hits(const std::string& work_folder, int read_count) {
  const auto size = static_cast<std::size_t>(read_count) + 1;
  EarlierHits e{std::vector<std::uint8_t>(size, kNoHit), std::vector<bool>(size, false),
                std::vector<std::uint8_t>(size, 0)};
  const std::string mapped = join_path(work_folder, kMappedHitFile);
  MappingOutputReader hits(mapped);
  MappingOutputRecord m;
  while (hits.next(m)) {
    check_read(mapped, m.read_number, read_count);
    offer(e, m.read_number, m.errors, true);
  }
  const std::string spliced = join_path(work_folder, kSplicedHitFile);
  MergedSpliceReader splits(spliced);
  MergedSpliceRecord s;
  while (splits.next(s)) {
    check_read(spliced, s.hit.read_number, read_count);
    offer(e, s.hit.read_number, s.hit.errors, false);
  }
  return e;
}

// The hint of each read to rescue whose one best hit is contiguous.
void write_hints(const std::string& work_folder, const EarlierHits& e) {
  OutputFile out(join_path(work_folder, kRescueHintFile));
  MappingOutputReader hits(join_path(work_folder, kMappedHitFile));
  MappingOutputRecord m;
  while (hits.next(m)) {
    const auto k = static_cast<std::size_t>(m.read_number);
    if (m.errors != e.errors[k] || m.errors == 0 || e.places[k] != 1) continue;
    write_rescue_hint(out,
                      {static_cast<int>(m.read_number), m.chromosome, m.position, m.strand == 'R'});
  }
  out.close();
}

}  // namespace

std::vector<int> choose_rescue_reads(const std::string& work_folder, int read_count, long& chosen) {
  const EarlierHits e = earlier_hits(work_folder, read_count);
  std::vector<int> earlier(static_cast<std::size_t>(read_count) + 1, kNoEarlierHit);
  const std::string all = join_path(work_folder, kReadFile);
  NumberedReadReader reads(all);
  OutputFile out(join_path(work_folder, kRescueReadFile));
  NumberedRead read;
  chosen = 0;
  while (reads.next(read)) {
    check_read(all, read.number, read_count);
    const auto k = static_cast<std::size_t>(read.number);
    if (e.errors[k] != kNoHit)
      earlier[k] =
          earlier_hit_score(static_cast<int>(read.sequence.size()), e.errors[k], !e.contiguous[k]);
    if (e.errors[k] == 0) continue;
    write_numbered_read(out, read.number, read.sequence);
    ++chosen;
  }
  out.close();
  write_hints(work_folder, e);
  return earlier;
}

namespace {

struct Candidate {
  int read = 0;
  int score = 0;
  int ordinal = 0;
  std::int64_t position = 0;  // 1-based on the chromosome
  bool reverse = false;
  std::string cigar;
  int edit_distance = 0;
  RescueKind kind = RescueKind::kMismatch;
  char intron_strand = '.';
  const std::string* chromosome = nullptr;
};

bool before(const Candidate& a, const Candidate& b) {
  return std::tie(a.read, b.score, a.ordinal, a.position, a.reverse, a.cigar) <
         std::tie(b.read, a.score, b.ordinal, b.position, b.reverse, b.cigar);
}

bool same_place(const Candidate& a, const Candidate& b) {
  return a.read == b.read && a.ordinal == b.ordinal && a.position == b.position &&
         a.reverse == b.reverse && a.cigar == b.cigar;
}

// One segment's results, read a read at a time: the workers write them by
// ascending read number, so the segments merge like sorted runs and only
// one read's alignments are held at once.
struct SegmentResults {
  SegmentResults(const std::string& path, int segment, int read_count)
      : path(path), segment(segment), read_count(read_count), reader(path) {
    advance();
  }
  void advance() {
    const int before = has ? hit.read_number : 0;
    has = reader.next(hit);
    if (!has) return;
    check_read(path, hit.read_number, read_count);
    if (hit.read_number < before)
      throw InputError("'" + path + "': read " + std::to_string(hit.read_number) +
                       " follows read " + std::to_string(before));
  }
  std::string path;
  int segment;
  int read_count;
  RescueHitReader reader;
  RescueHit hit;
  bool has = false;
};

// Adds the hit in chromosome coordinates when it beats the read's earlier
// score; a hit that runs past its chromosome's end (into the joining N) is
// dropped.
void collect(const RescueHit& h, int segment, const SegmentIndex& index,
             const std::vector<int>& earlier, std::vector<Candidate>& out) {
  if (h.score <= earlier[static_cast<std::size_t>(h.read_number)]) return;
  const SegmentIndexLine& start = index.locate(segment, h.position);
  const std::int64_t span = cigar_reference_length(h.cigar);
  if (index.locate(segment, h.position + std::max<std::int64_t>(span, 1) - 1).ordinal !=
      start.ordinal)
    return;
  out.push_back({h.read_number, h.score, start.ordinal,
                 h.position - start.offset + start.position + 1, h.reverse, h.cigar,
                 h.edit_distance, h.kind, h.intron_strand, &start.name});
}

// The next read of the merged segments into `group`; false when all ended.
bool next_read(std::deque<SegmentResults>& streams, const SegmentIndex* index,
               const std::vector<int>& earlier, std::vector<Candidate>& group) {
  group.clear();
  int read = 0;
  for (const SegmentResults& s : streams)
    if (s.has && (read == 0 || s.hit.read_number < read)) read = s.hit.read_number;
  if (read == 0) return false;
  for (SegmentResults& s : streams)
    for (; s.has && s.hit.read_number == read; s.advance())
      collect(s.hit, s.segment, *index, earlier, group);
  return true;
}

void write_line(OutputFile& out, const Candidate& c, std::size_t hits) {
  RescueOutputRecord r;
  r.read_number = c.read;
  r.chromosome = *c.chromosome;
  r.position = c.position;
  r.reverse = c.reverse;
  r.cigar = c.cigar;
  r.score = c.score;
  r.edit_distance = c.edit_distance;
  r.kind = rescue_kind_name(c.kind);
  r.intron_strand = c.intron_strand;
  r.hits = static_cast<int>(hits);
  write_rescue_output_record(out, r);
}

// The read's best-scoring alignments among [first, last), without repeats
// (overlapping segments find some twice), at most kMaxRescueHits.
std::size_t best_of_read(std::vector<Candidate>::iterator first,
                         std::vector<Candidate>::iterator last) {
  auto end = first;
  while (end != last && end->score == first->score) ++end;
  const auto kept = std::unique(first, end, same_place);
  return std::min(static_cast<std::size_t>(kept - first), kMaxRescueHits);
}

}  // namespace

RescueCounts rescue_combine(const std::string& work_folder, int segment_count,
                            const std::vector<int>& earlier, const std::string& output_path,
                            RunGuard* guard, const std::string& run_number) {
  std::optional<SegmentIndex> index;
  if (segment_count > 0) index.emplace(work_folder, segment_count);
  std::deque<SegmentResults> streams;  // a deque: a reader holds its file and does not move
  for (int s = 1; s <= segment_count; ++s) {
    const std::string path = numbered_path(work_folder, s, kResultSuffix);
    std::error_code ec;
    if (std::filesystem::exists(path, ec))
      streams.emplace_back(path, s, static_cast<int>(earlier.size()) - 1);
  }
  PendingOutput pending(output_path, guard);
  OutputFile out(pending.path());
  if (!run_number.empty()) write_rescue_output_header(out, run_number);
  RescueCounts counts;
  std::vector<Candidate> group;
  while (next_read(streams, index ? &*index : nullptr, earlier, group)) {
    if (group.empty()) continue;
    std::sort(group.begin(), group.end(), before);
    const std::size_t hits = best_of_read(group.begin(), group.end());
    for (std::size_t k = 0; k < hits; ++k) write_line(out, group[k], hits);
    ++counts.rescued;
    ++counts.by_kind[static_cast<std::size_t>(group.front().kind)];
    if (earlier[static_cast<std::size_t>(group.front().read)] == kNoEarlierHit)
      ++counts.was_unmapped;
  }
  out.close();
  pending.keep();
  return counts;
}

}  // namespace quilm

namespace quilm {

RescueCounts run_rescue_stage(const CascadeSetup& setup, const RescueRequest& request,
                              const std::string& run_number) {
  const RunConfig& c = *setup.config;
  long chosen = 0;
  const std::vector<int> earlier = choose_rescue_reads(c.work_folder, c.read_count, chosen);
  const std::vector<ChromosomeJunction> junctions =
      merge_junctions(run_junctions(join_path(c.work_folder, kSplicedHitFile)), request.known);
  write_junction_file(join_path(c.work_folder, kRescueJunctionFile), junctions);
  // The splice stage's results share the names of the rescue workers'.
  for (int s = 1; s <= c.segment_count; ++s) {
    std::error_code ec;
    std::filesystem::remove(numbered_path(c.work_folder, s, kResultSuffix), ec);
  }
  const std::string stage = "rescue stage";
  setup.report->stage(stage + ": " + std::to_string(chosen) + " reads to rescue, " +
                      std::to_string(junctions.size()) + " known junctions");
  if (chosen > 0) launch_stage(setup, stage, "quilm_rescue", 14, "The Time of rescue ", chosen);
  RescueCounts counts =
      rescue_combine(c.work_folder, c.segment_count, earlier, c.output_path + kRescueOutputSuffix,
                     setup.guard, run_number);
  counts.tried = chosen;
  setup.report->stage(stage + ": " + std::to_string(counts.rescued) + " reads aligned better");
  return counts;
}

}  // namespace quilm
