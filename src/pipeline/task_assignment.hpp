// Handing the segments to the worker processes, largest first, each to the
// least loaded process.
#pragma once

#include <string>
#include <vector>

namespace quilm {

// Weight of each segment (entry 0 unused) from "task.txt": unmasked share of
// its length, the last segment measured against a full one.
std::vector<double> segment_weights(const std::string& work_folder, int segment_count);

// The greedy assignment of weighted segments (entry 0 unused) to processes;
// -1 for a segment of weight 0. Returns one entry per segment, segment 1 first.
std::vector<int> assign_segments(std::vector<double> weights, int cpu_cores);

// Reads "task.txt" and writes "taskmpi.txt".
void task_fenpei(const std::string& work_folder, int segment_count, int cpu_cores);

}  // namespace quilm
