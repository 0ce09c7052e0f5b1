// sliceplan.txt: the segments whose reads several worker processes share.
//
// The driver writes the file before every launch of the workers; it holds one
// line per shared segment, ascending by segment number:
//   "<segment> <process 1> <process 2> ... <process m>\n"
// (decimal numbers, one space between them). The stage's read file is cut
// into m slices (see ReadSlice); the j-th process named maps slice j - 1 of
// the reads against the segment and writes its records into the part file
// "<segment>.r.part<j - 1>", which the driver joins, in slice order, into
// "<segment>.r". A segment without a line is mapped whole by the process that
// taskmpi.txt names, straight into "<segment>.r". An empty file, or none,
// shares nothing.
#pragma once

#include <string>
#include <vector>

#include "common/numbered_reads.hpp"
#include "common/work_files.hpp"

namespace quilm {

struct SharedSegment {
  int segment = 0;
  std::vector<int> processes;  // one per slice, in slice order
};
using SharePlan = std::vector<SharedSegment>;

void write_share_plan(const std::string& work_folder, const SharePlan& plan);

// The plan of the work folder; empty when the file does not exist. Throws
// InputError naming the file for a line that is not a segment from 1 to
// segment_count (above the line before) followed by process numbers.
SharePlan read_share_plan(const std::string& work_folder, int segment_count);

// "<folder>/<segment>.r.part<slice>"
std::string slice_part_path(const std::string& work_folder, int segment, int slice);

// One mapping of a worker process: the reads of `slice` against `segment`,
// into `result_path` (the segment's result file, or a part file).
struct SegmentJob {
  int segment = 0;
  ReadSlice slice;
  std::string result_path;
};

// The jobs of `process`: every shared segment for each slice the plan gives
// it, every other segment that `tasks` (entry k - 1 for segment k) assigns
// to it; by ascending segment and slice, rotated to start at the job numbered
// `process` modulo their count (each job writes its own file, so the order
// changes nothing but which index each process loads first).
std::vector<SegmentJob> worker_jobs(const std::string& work_folder, const std::vector<int>& tasks,
                                    const SharePlan& plan, int process);

}  // namespace quilm
