#include "rescue/rescue_task.hpp"

#include <algorithm>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <vector>

#include "common/errors.hpp"
#include "common/numbered_reads.hpp"
#include "common/paths.hpp"
#include "common/progress_counter.hpp"
#include "common/run_config.hpp"
#include "common/seed_lengths.hpp"
#include "common/segment_index.hpp"
#include "common/share_plan.hpp"
#include "worker/index_store.hpp"
#include "worker/stage_jobs.hpp"

namespace quilm {

const char* const kRescueHelp =
    "Usage: quilm_rescue <seed length> [<process number>]\n"
    "Rescue worker, started by quilm2splice --rescue after its final merge: aligns\n"
    "the reads of rescue0.fastq (unmapped, or mapped with errors) with introns,\n"
    "insertions, deletions and soft-clipped ends onto the segments that the run's\n"
    "taskmpi.txt gives to this process, with the run's config.txt in the current\n"
    "directory.\n"
    "  <seed length>     the seed length of the candidate search: 14 (required)\n"
    "  <process number>  this process's number (default: the MPI launcher's rank,\n"
    "                    OMPI_COMM_WORLD_RANK, PMI_RANK or PMIX_RANK)\n"
    "  --help            this text\n"
    "  --version         the program's version\n"
    "Example: quilm_rescue 14 0\n";

void ReadRescuer::keep(const SplicedAlignment& a, bool reverse_strand, int read_number) {
  if (kept_ > 0 && a.score < slots_[0].score) return;
  if (kept_ > 0 && a.score > slots_[0].score) kept_ = 0;
  for (const RescueHit& h : hits())
    if (h.position == a.position && h.reverse == reverse_strand && h.cigar == a.cigar) return;
  if (kept_ >= kMaxRescueHits) return;
  if (kept_ == slots_.size()) slots_.emplace_back();
  RescueHit& h = slots_[kept_++];
  h.read_number = read_number;
  h.position = a.position;
  h.reverse = reverse_strand;
  h.cigar.assign(a.cigar);  // into the slot's own buffer: no allocation once grown
  h.score = a.score;
  h.edit_distance = a.edit_distance;
  h.kind = a.kind;
  h.intron_strand = a.intron_strand;
  std::sort(slots_.begin(), slots_.begin() + static_cast<std::ptrdiff_t>(kept_),
            [](const RescueHit& x, const RescueHit& y) {
              return std::tie(x.position, x.reverse, x.cigar) <
                     std::tie(y.position, y.reverse, y.cigar);
            });
}

// The plain alignments of the locus that nothing leaving their diagonal
// could beat (see align_ungapped); false when there are none. A locus of
// several such diagonals is a repeat, whose copies the read fits as it is.
bool ReadRescuer::keep_plain(std::span<const std::int64_t> locus, std::string_view sequence,
                             bool reverse_strand, int read_number) {
  bool found = false;
  for (const std::int64_t d : locus) {
    if (!aligner_.align_ungapped(sequence, d, alignment_)) continue;
    keep(alignment_, reverse_strand, read_number);
    found = true;
  }
  return found;
}

void ReadRescuer::try_orientation(std::string_view sequence, bool reverse_strand, int read_number,
                                  int min_support) {
  const CandidateLoci& candidates = loci_[reverse_strand ? 1 : 0];
  for (std::size_t k = 0; k < candidates.locus_count(); ++k) {
    if (candidates.locus_support(k) < min_support) continue;
    const auto locus = candidates.locus(k);
    if (keep_plain(locus, sequence, reverse_strand, read_number)) continue;
    diagonals_.assign(locus.begin(), locus.end());
    aligner_.extend_by_indels(sequence, diagonals_, 8);
    aligner_.extend_by_junctions(sequence, diagonals_, 14);
    if (aligner_.align(sequence, diagonals_, alignment_))
      keep(alignment_, reverse_strand, read_number);
  }
}

namespace {

// Calls f(line, end) for each chromosome piece of `segment`: its index line
// and the segment offset where the piece ends.
template <class F>
void for_each_piece(const SegmentIndex& index, int segment, std::size_t length, F&& f) {
  const auto& lines = index.lines();
  for (std::size_t k = 0; k < lines.size(); ++k) {
    if (lines[k].segment != segment) continue;
    const bool last_piece = k + 1 == lines.size() || lines[k + 1].segment != segment;
    f(lines[k], last_piece ? static_cast<std::int64_t>(length) : lines[k + 1].offset);
  }
}

}  // namespace

SegmentJunctions segment_junctions(const std::vector<ChromosomeJunction>& all,
                                   const std::string& work_folder, int segment_count, int segment,
                                   std::size_t length) {
  const SegmentIndex index(work_folder, segment_count);
  // The junctions of each chromosome, in file order: a piece then looks up
  // its own chromosome's instead of scanning all of them (an assembly has
  // many thousands of contigs).
  std::unordered_map<std::string_view, std::vector<const ChromosomeJunction*>> by_chromosome;
  for (const ChromosomeJunction& j : all) by_chromosome[j.chromosome].push_back(&j);
  std::vector<SegmentJunction> inside;
  for_each_piece(index, segment, length, [&](const SegmentIndexLine& line, std::int64_t end) {
    const auto found = by_chromosome.find(line.name);
    if (found == by_chromosome.end()) return;
    for (const ChromosomeJunction* j : found->second) {
      const std::int64_t first = j->first - 1 - line.position + line.offset;
      const std::int64_t last = j->last - 1 - line.position + line.offset;
      if (first >= line.offset && last < end) inside.push_back({first, last, j->strand});
    }
  });
  return SegmentJunctions(std::move(inside));
}

std::vector<SegmentHint> segment_hints(const std::string& work_folder, int segment_count,
                                       int segment, std::size_t length) {
  const SegmentIndex index(work_folder, segment_count);
  // The segment's pieces of each chromosome, in segment order.
  std::unordered_map<std::string_view,
                     std::vector<std::pair<const SegmentIndexLine*, std::int64_t>>>
      pieces;
  for_each_piece(index, segment, length, [&](const SegmentIndexLine& line, std::int64_t end) {
    pieces[line.name].push_back({&line, end});
  });
  std::vector<SegmentHint> hints;
  for_each_rescue_hint(join_path(work_folder, kRescueHintFile), [&](const RescueHint& h) {
    const auto found = pieces.find(h.chromosome);
    if (found == pieces.end()) return;
    for (const auto& [line, end] : found->second) {
      const std::int64_t at = h.position - line->position + line->offset;
      if (at >= line->offset && at < end) hints.push_back({h.read_number, h.reverse, at});
    }
  });
  std::sort(hints.begin(), hints.end(), [](const SegmentHint& a, const SegmentHint& b) {
    return a.read_number < b.read_number;
  });
  return hints;
}

bool ReadRescuer::fits_plainly(std::string_view read, std::int64_t diagonal, bool reverse) {
  if (!reverse) return aligner_.align_ungapped(read, diagonal, alignment_);
  reverse_complement(read, reverse_);
  return aligner_.align_ungapped(reverse_, diagonal, alignment_);
}

namespace {

struct RescueJob {
  const RunConfig& config;
  const std::vector<ChromosomeJunction>& junctions;
  const std::string& store;
  ProgressCounter& progress;
  JobMemory& memory;  // reused from job to job
};

template <class Index>
void rescue_reads(const Segment& segment, const Index& index, const SegmentJunctions& junctions,
                  const RescueJob& run, const SegmentJob& job) {
  CandidateLimits candidates;
  candidates.locus_span = run.config.max_gap_distance;
  const RunConfig& c = run.config;
  ReadRescuer rescuer({segment.data(), segment.length}, junctions,
                      {c.min_gap_distance, c.max_gap_distance}, candidates, c.masked_toggle == 1,
                      c.unidirectional_toggle == 1);
  const std::vector<SegmentHint> hints =
      segment_hints(c.work_folder, c.segment_count, job.segment, segment.length);
  NumberedReadReader reads(join_path(run.config.work_folder, kRescueReadFile), job.slice);
  OutputFile out(job.result_path);
  NumberedRead read;
  std::string upper;
  long uncounted = 0;  // reads not yet added to the progress count
  while (reads.next(read)) {
    if (++uncounted == ProgressCounter::kStep) {
      run.progress.add(uncounted);
      uncounted = 0;
    }
    upper = read.sequence;
    for (char& c : upper) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    // A read that fits its one earlier hit as nothing could beat has no
    // better alignment here.
    const auto hint =
        std::lower_bound(hints.begin(), hints.end(), read.number,
                         [](const SegmentHint& h, int number) { return h.read_number < number; });
    if (hint != hints.end() && hint->read_number == read.number &&
        rescuer.fits_plainly(upper, hint->diagonal, hint->reverse))
      continue;
    rescuer.rescue(index, read.number, upper);
    for (const RescueHit& h : rescuer.hits()) write_rescue_hit(out, h);
  }
  out.close();
}

void rescue_segment(const RescueJob& run, const SegmentJob& job, IndexVariant variant) {
  const RunConfig& c = run.config;
  Segment segment = load_segment(segment_file(c, job.segment), c.masked_toggle, &run.memory.bases);
  const SegmentJunctions junctions =
      segment_junctions(run.junctions, c.work_folder, c.segment_count, job.segment, segment.length);
  ReusableMemory* copy = index_copy(&run.memory, job.slice);
  IndexMemory index;
  if (variant == IndexVariant::kReduced) {
    ReducedSeedIndex reduced =
        obtain_reduced_seed_index(segment, 14, c.masked_toggle, run.store, copy);
    rescue_reads(segment, reduced, junctions, run, job);
    index = std::move(reduced.memory);
  } else {
    SeedIndex full = obtain_seed_index(segment, 14, c.masked_toggle, run.store, copy);
    rescue_reads(segment, full, junctions, run, job);
    index = std::move(full.memory);
  }
  give_back(&run.memory, job.slice, std::move(segment), std::move(index));
}

}  // namespace

void run_rescue_worker(const WorkerArgs& args) {
  if (args.seed_length != 14)
    throw UsageError("seed length " + std::to_string(args.seed_length) + " is not 14");
  const RunConfig config = read_run_config(kConfigFile, true);
  const StageJobs stage = stage_jobs(config, 14, args.process_number);
  const std::string& work = config.work_folder;
  refuse_results_over_inputs(config, stage,
                             {{"the read file", join_path(work, kRescueReadFile)},
                              {"the hint file", join_path(work, kRescueHintFile)},
                              {"the junction file", join_path(work, kRescueJunctionFile)}});
  const std::vector<ChromosomeJunction> junctions =
      read_junction_file(join_path(config.work_folder, kRescueJunctionFile));
  ProgressCounter progress(progress_file(config.work_folder, args.process_number));
  JobMemory memory;
  memory.copy_indexes = copies_indexes(stage.jobs);
  const RescueJob run{config, junctions, stage.index_store, progress, memory};
  for (const SegmentJob& job : stage.jobs) rescue_segment(run, job, stage.variant);
}

}  // namespace quilm
