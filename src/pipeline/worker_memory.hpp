// Whether the workers of a launch fit in this machine's memory.
#pragma once

#include <cstdint>
#include <string>

namespace quilm {

// Estimated bytes of the seed index of a segment of `segment_bytes` with
// seeds of `seed_length`: the key tables (4 bytes per key in the full index,
// a 64-byte line per 384 keys in the reduced one), 4 bytes per seed for the
// positions and, in the reduced index, up to 4 more per present key.
std::uint64_t estimate_index_bytes(std::uint64_t segment_bytes, int seed_length, bool reduced);

// Estimated bytes of one worker besides the index: the segment, its seeds'
// key bits while an index is built, stream buffers and work areas.
std::uint64_t estimate_private_bytes(std::uint64_t segment_bytes);

// Peak bytes of `workers` processes on one machine that map up to
// `segments_at_once` different segments at the same time. With the index
// store, each of those segments' stored index is mapped once for the
// machine, plus one private copy of a process that builds one (never more
// indexes than workers); without it, every process builds its own.
std::uint64_t estimate_machine_bytes(std::uint64_t segment_bytes, int seed_length, bool reduced,
                                     int workers, int segments_at_once, bool shared_index);

// MemAvailable of /proc/meminfo in bytes, or 0 when unknown.
std::uint64_t available_memory_bytes();

struct MemoryPlan {
  std::string stage;
  std::uint64_t largest_segment = 0;
  int seed_length = 14;
  bool reduced = true;
  int concurrent_workers = 1;
  int segments_at_once = 1;  // different segments mapped at the same time
  bool shared_index = true;  // the index store is on
};

// The machine's peak bytes of the workers that run at once.
std::uint64_t planned_peak_bytes(const MemoryPlan& plan);

// "; about N MiB of memory at the peak", for the stage's line.
std::string peak_note(const MemoryPlan& plan);

// Throws Error with both figures and the ways out when the workers that run
// at once would need more memory than is available.
void check_worker_memory(const MemoryPlan& plan, const char* program);

// Largest segment length from "task.txt" and the number of processes that
// map at least one segment (from "taskmpi.txt").
void segment_load(const std::string& work_folder, int segment_count, std::uint64_t& largest_segment,
                  int& busy_processes);

}  // namespace quilm
