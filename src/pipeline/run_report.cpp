#include "pipeline/run_report.hpp"

#include <sys/resource.h>

#include <cstdio>

#include "common/input_file.hpp"
#include "common/output_file.hpp"

namespace quilm {

void RunReport::stage(const std::string& message) const {
  std::fflush(stdout);
  std::fprintf(stderr, "%s: [%.1f s] %s\n", program_.c_str(), clock_.seconds(), message.c_str());
}

namespace {
double cpu_seconds(const rusage& u) {
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}
double percent(long part, long whole) {
  return whole > 0 ? 100.0 * static_cast<double>(part) / static_cast<double>(whole) : 0.0;
}

// In the layout users of other aligners read at a glance.
void print_alignments(const AlignmentCounts& a) {
  const long none = a.reads - a.once - a.more;
  std::fprintf(stderr, "%ld reads; of these:\n", a.reads);
  std::fprintf(stderr, "  %ld (%.2f%%) aligned 0 times\n", none, percent(none, a.reads));
  std::fprintf(stderr, "  %ld (%.2f%%) aligned exactly 1 time\n", a.once, percent(a.once, a.reads));
  std::fprintf(stderr, "  %ld (%.2f%%) aligned >1 times\n", a.more, percent(a.more, a.reads));
  std::fprintf(stderr, "  %ld (%.2f%%) aligned split across an intron\n", a.split,
               percent(a.split, a.reads));
  std::fprintf(stderr, "%.2f%% overall alignment rate\n", percent(a.once + a.more, a.reads));
}

// Rescued reads by kind.
void print_rescued_kinds(const RescueCounts& r, const AlignmentCounts& a) {
  std::fprintf(stderr, "  %ld (%.2f%%) rescued (of %ld tried; %ld had no hit):", r.rescued,
               percent(r.rescued, a.reads), r.tried, r.was_unmapped);
  static constexpr const char* kLabels[kRescueKinds] = {
      "several introns", "indel", "short anchor", "clipped", "one intron", "mismatches"};
  for (int k = 0; k < kRescueKinds; ++k)
    std::fprintf(stderr, "%s %ld %s", k == 0 ? "" : ",", r.by_kind[static_cast<std::size_t>(k)],
                 kLabels[k]);
  std::fputc('\n', stderr);
}

// Rescued reads by kind, and the alignment rate they bring.
void print_rescued(const RescueCounts& r, const AlignmentCounts& a) {
  print_rescued_kinds(r, a);
  std::fprintf(stderr, "%.2f%% overall alignment rate with rescued reads\n",
               percent(a.once + a.more + r.was_unmapped, a.reads));
}

}  // namespace

void RunReport::use_export_summary(const std::string& path) {
  InputFile in(path);
  export_summary_.clear();
  for (std::string line; in.read_line(line);) export_summary_ += line + "\n";
  export_summary_path_ = path;
}

void RunReport::summary() const {
  rusage self{}, children{};
  getrusage(RUSAGE_SELF, &self);
  getrusage(RUSAGE_CHILDREN, &children);
  std::fflush(stdout);
  if (empty_reads_ > 0)
    std::fprintf(stderr, "%s: %d reads of length 0 cannot map\n", program_.c_str(), empty_reads_);
  if (!export_summary_path_.empty()) {
    std::fputs(export_summary_.c_str(), stderr);
    if (rescue_ran_) print_rescued_kinds(rescue_, alignments_);
  } else {
    if (pairs_) print_pair_counts(stderr, *pairs_);
    print_alignments(alignments_);
    if (rescue_ran_) print_rescued(rescue_, alignments_);
  }
  // ru_maxrss is in KiB; for the children it is the largest single child.
  char line[256];
  std::snprintf(line, sizeof line,
                "%s: finished in %.1f s wall, %.1f s CPU; peak memory: driver %ld MiB, largest "
                "worker %ld MiB\n",
                program_.c_str(), clock_.seconds(), cpu_seconds(self) + cpu_seconds(children),
                self.ru_maxrss / 1024, children.ru_maxrss / 1024);
  std::fputs(line, stderr);
  if (!export_summary_path_.empty()) append_text(export_summary_path_, line);
}

}  // namespace quilm
