// Progress lines and the closing summary of a driver run, on stderr.
#pragma once

#include <optional>
#include <string>

#include "common/pair_counts.hpp"
#include "pipeline/rescue_counts.hpp"
#include "pipeline/stopwatch.hpp"

namespace quilm {

// How the reads of a run aligned: by their best hits.
struct AlignmentCounts {
  long reads = 0;  // numbered reads, those of length 0 included
  long once = 0;   // one best hit
  long more = 0;   // several best hits
  long split = 0;  // of those aligned, with best hits split across an intron
};

class RunReport {
 public:
  explicit RunReport(std::string program) : program_(std::move(program)) {}
  // "<program>: [12.3 s] <message>"
  void stage(const std::string& message) const;
  // Reads of length 0, which the run numbers but cannot map.
  void count_empty_reads(int count) { empty_reads_ = count; }
  // The alignment figures of the closing summary.
  void count_alignments(const AlignmentCounts& counts) { alignments_ = counts; }
  // The rescue stage's figures, said after the alignment figures.
  void count_rescued(const RescueCounts& counts) {
    rescue_ = counts;
    rescue_ran_ = true;
  }
  // How the pairs aligned, for a run of paired reads.
  void count_pairs(const PairCounts& counts) { pairs_ = counts; }
  // The export's summary file (--summary-file), which describes the records
  // written: said in place of the driver's own figures of the reads and
  // pairs, and the closing line appended to it.
  void use_export_summary(const std::string& path);
  // The reads of length 0, if any; how the pairs aligned, if counted; how
  // the reads aligned, and the overall
  // alignment rate; then wall time, CPU time of the driver and its workers,
  // peak memory of the driver and of the largest worker.
  void summary() const;

 private:
  std::string program_;
  Stopwatch clock_;
  int empty_reads_ = 0;
  AlignmentCounts alignments_;
  RescueCounts rescue_;
  bool rescue_ran_ = false;
  std::optional<PairCounts> pairs_;
  std::string export_summary_path_;
  std::string export_summary_;
};

}  // namespace quilm
