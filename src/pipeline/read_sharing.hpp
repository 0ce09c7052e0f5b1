// Sharing the reads of a segment among several worker processes: when a
// stage has fewer mapped segments than processes, the processes that the
// assignment left without a segment each map a slice of the reads of one, and
// the driver joins the slices' part files into the segment's result file.
#pragma once

#include <string>
#include <vector>

#include "common/share_plan.hpp"

namespace quilm {

// Spreads the idle processes (those of 0 .. cpu_cores - 1 that no entry of
// `tasks` names), at most `max_helpers` of them and lowest number first, over
// the assigned segments: each goes to the segment with the greatest weight
// per slice so far (the lowest segment number among equal ones), so the
// heaviest segment gets the first one. `weights` holds entry k for segment k
// (entry 0 unused). The segment's own process keeps slice 0; the helpers
// follow in the order they came. Segments left unshared are not in the plan.
SharePlan plan_read_sharing(const std::vector<int>& tasks, const std::vector<double>& weights,
                            int cpu_cores, int max_helpers);

// With more segments than processes, whole segments cannot always be handed
// out evenly (3 segments to 2 processes: one maps two, the other one). When
// the busiest process of `tasks` would carry more than a tenth above the
// mean load, every process maps its slice of the reads of every assigned
// segment instead (slice j to process j), and this plan is returned; else an
// empty one. The results are the same either way; only the work is spread.
SharePlan plan_even_sharing(const std::vector<int>& tasks, const std::vector<double>& weights,
                            int cpu_cores);

// Removes part files of the plan left by an earlier run, so that a part that
// a worker failed to write cannot be taken from there.
void remove_slice_parts(const std::string& work_folder, const SharePlan& plan);

// Joins the part files of every shared segment, in slice order, into the
// segment's "<segment>.r" and removes them. Throws LaunchError naming the
// stage and the file when a part is missing (before anything of that segment
// is written), IoError when a file cannot be read, written or removed.
void join_slice_parts(const std::string& work_folder, const SharePlan& plan,
                      const std::string& stage);

}  // namespace quilm
