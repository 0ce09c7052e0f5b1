#include "pipeline/worker_memory.hpp"

#include <algorithm>
#include <cstdio>
#include <set>

#include "common/errors.hpp"
#include "common/input_file.hpp"
#include "common/paths.hpp"
#include "common/task_table.hpp"
#include "common/text_scanner.hpp"
#include "pipeline/segment_sizes.hpp"

namespace quilm {

std::uint64_t estimate_index_bytes(std::uint64_t segment_bytes, int seed_length, bool reduced) {
  const std::uint64_t keys = std::uint64_t{1} << (2 * seed_length);
  const std::uint64_t key_tables = reduced ? (keys + 383) / 384 * 64 : 4 * (keys + 1);
  const std::uint64_t dense = reduced ? 4 * std::min(keys, segment_bytes) : 0;
  return key_tables + 4 * segment_bytes + dense;
}

std::uint64_t estimate_private_bytes(std::uint64_t segment_bytes) {
  constexpr std::uint64_t kBuffers = std::uint64_t{64} << 20;
  return 3 * segment_bytes + kBuffers;
}

std::uint64_t estimate_machine_bytes(std::uint64_t segment_bytes, int seed_length, bool reduced,
                                     int workers, int segments_at_once, bool shared_index) {
  const std::uint64_t index = estimate_index_bytes(segment_bytes, seed_length, reduced);
  const std::uint64_t n = workers > 0 ? static_cast<std::uint64_t>(workers) : 0;
  const std::uint64_t mapped =
      std::min<std::uint64_t>(n, static_cast<std::uint64_t>(std::max(segments_at_once, 1)) + 1);
  const std::uint64_t indexes = (shared_index ? mapped : n) * index;
  return indexes + n * estimate_private_bytes(segment_bytes);
}

std::uint64_t available_memory_bytes() {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen("/proc/meminfo", "r"), &std::fclose);
  if (!f) return 0;
  char line[256];
  unsigned long long kib = 0;
  while (std::fgets(line, sizeof line, f.get())) {
    if (std::sscanf(line, "MemAvailable: %llu kB", &kib) == 1) return kib * 1024;
  }
  return 0;
}

namespace {

constexpr std::uint64_t kMiB = 1 << 20;

}  // namespace

std::uint64_t planned_peak_bytes(const MemoryPlan& plan) {
  return estimate_machine_bytes(plan.largest_segment, plan.seed_length, plan.reduced,
                                plan.concurrent_workers, plan.segments_at_once, plan.shared_index);
}

std::string peak_note(const MemoryPlan& plan) {
  if (plan.concurrent_workers <= 0 || plan.largest_segment == 0) return "";
  return "; about " + std::to_string((planned_peak_bytes(plan) + kMiB - 1) / kMiB) +
         " MiB of memory at the peak";
}

void check_worker_memory(const MemoryPlan& plan, const char* program) {
  const std::uint64_t available = available_memory_bytes();
  if (available == 0 || plan.concurrent_workers <= 0) return;
  const std::uint64_t all = planned_peak_bytes(plan);
  if (all <= available) return;
  const std::uint64_t index =
      estimate_index_bytes(plan.largest_segment, plan.seed_length, plan.reduced);
  throw Error(plan.stage + ": " + std::to_string(plan.concurrent_workers) +
              " worker processes would need about " + std::to_string(all / kMiB) +
              " MiB (a seed index of " + std::to_string(index / kMiB) + " MiB " +
              (plan.shared_index ? "shared through the index store" : "in every process") +
              "), but only " + std::to_string(available / kMiB) + " MiB are available; run " +
              program + " with fewer processes (-C), smaller segments (-F)" +
              (plan.reduced ? std::string() : std::string(" or the reduced seed-14 index (-Y1)")));
}

void segment_load(const std::string& work_folder, int segment_count, std::uint64_t& largest_segment,
                  int& busy_processes) {
  largest_segment = 0;
  for (const SegmentSize& size : read_segment_sizes(work_folder, segment_count))
    if (size.length > 0 && static_cast<std::uint64_t>(size.length) > largest_segment)
      largest_segment = size.length;
  std::set<int> busy;
  for (int process : read_task_table(work_folder, segment_count))
    if (process >= 0) busy.insert(process);
  busy_processes = static_cast<int>(busy.size());
}

}  // namespace quilm
