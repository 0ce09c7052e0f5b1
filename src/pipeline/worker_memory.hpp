// Whether the workers of a launch fit in this machine's memory.
#pragma once

#include <cstdint>
#include <string>

namespace quilm {

// Estimated peak bytes of one worker that indexes a segment of
// `segment_bytes` with seeds of `seed_length`, with the reduced index or the
// full one. The key tables dominate: 4^L keys take 8 bytes each in the full
// index and 5 in the reduced one (its build peak); per segment byte come the
// sequence, positions, vote counters and candidate lists.
std::uint64_t estimate_worker_bytes(std::uint64_t segment_bytes, int seed_length, bool reduced);

// MemAvailable of /proc/meminfo in bytes, or 0 when unknown.
std::uint64_t available_memory_bytes();

struct MemoryPlan {
  std::string stage;
  std::uint64_t largest_segment = 0;
  int seed_length = 14;
  bool reduced = true;
  int concurrent_workers = 1;
};

// Throws Error with both figures and the ways out when the workers that run
// at once would need more memory than is available.
void check_worker_memory(const MemoryPlan& plan, const char* program);

// Largest segment length from "task.txt" and the number of processes that
// map at least one segment (from "taskmpi.txt").
void segment_load(const std::string& work_folder, int segment_count, std::uint64_t& largest_segment,
                  int& busy_processes);

}  // namespace quilm
