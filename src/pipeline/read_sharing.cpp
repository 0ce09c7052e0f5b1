#include "pipeline/read_sharing.hpp"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include "common/errors.hpp"
#include "common/output_file.hpp"
#include "common/paths.hpp"
#include "common/work_files.hpp"

namespace quilm {

namespace {

std::vector<int> idle_processes(const std::vector<int>& tasks, int cpu_cores, int max_helpers) {
  std::vector<bool> busy(cpu_cores > 0 ? cpu_cores : 0, false);
  for (int process : tasks)
    if (process >= 0 && process < cpu_cores) busy[process] = true;
  std::vector<int> idle;
  for (int p = 0; p < cpu_cores && static_cast<int>(idle.size()) < max_helpers; ++p)
    if (!busy[p]) idle.push_back(p);
  return idle;
}

}  // namespace

SharePlan plan_read_sharing(const std::vector<int>& tasks, const std::vector<double>& weights,
                            int cpu_cores, int max_helpers) {
  SharePlan all;
  for (int k = 1; k <= static_cast<int>(tasks.size()); ++k) {
    const double weight = k < static_cast<int>(weights.size()) ? weights[k] : 0;
    if (tasks[k - 1] >= 0 && weight > 0) all.push_back({k, {tasks[k - 1]}});
  }
  if (all.empty()) return {};
  for (int helper : idle_processes(tasks, cpu_cores, max_helpers)) {
    SharedSegment* chosen = nullptr;
    double greatest = 0;
    for (SharedSegment& s : all) {
      const double per_slice = weights[s.segment] / static_cast<double>(s.processes.size());
      if (per_slice > greatest) {  // strictly: equal shares keep the lower segment
        greatest = per_slice;
        chosen = &s;
      }
    }
    chosen->processes.push_back(helper);
  }
  SharePlan plan;
  for (SharedSegment& s : all)
    if (s.processes.size() > 1) plan.push_back(std::move(s));
  return plan;
}

SharePlan plan_even_sharing(const std::vector<int>& tasks, const std::vector<double>& weights,
                            int cpu_cores) {
  if (cpu_cores < 2) return {};
  std::vector<double> load(static_cast<std::size_t>(cpu_cores), 0);
  std::vector<int> mapped;
  double total = 0;
  for (int k = 1; k <= static_cast<int>(tasks.size()); ++k) {
    const double weight = k < static_cast<int>(weights.size()) ? weights[k] : 0;
    const int process = tasks[k - 1];
    if (process < 0 || weight <= 0) continue;
    mapped.push_back(k);
    total += weight;
    if (process < cpu_cores) load[static_cast<std::size_t>(process)] += weight;
  }
  if (static_cast<int>(mapped.size()) <= cpu_cores) return {};
  const double busiest = *std::max_element(load.begin(), load.end());
  if (busiest <= 1.1 * total / cpu_cores) return {};
  std::vector<int> everyone(static_cast<std::size_t>(cpu_cores));
  for (int p = 0; p < cpu_cores; ++p) everyone[static_cast<std::size_t>(p)] = p;
  SharePlan plan;
  for (int k : mapped) plan.push_back({k, everyone});
  return plan;
}

void remove_slice_parts(const std::string& work_folder, const SharePlan& plan) {
  for (const SharedSegment& s : plan) {
    for (int j = 0; j < static_cast<int>(s.processes.size()); ++j) {
      const std::string part = slice_part_path(work_folder, s.segment, j);
      std::error_code ec;
      std::filesystem::remove(part, ec);
      if (ec) throw IoError("cannot remove '" + part + "': " + ec.message());
    }
  }
}

namespace {

void append_file(OutputFile& out, const std::string& path, std::vector<char>& buffer) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!in) throw_io_error("cannot open", path);
  for (;;) {
    const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), in.get());
    if (n > 0) out.write_block(buffer.data(), n);
    if (n < buffer.size()) break;
  }
  if (std::ferror(in.get())) throw_io_error("cannot read", path);
}

void join_segment(const std::string& work_folder, const SharedSegment& s, const std::string& stage,
                  std::vector<char>& buffer) {
  const int slices = static_cast<int>(s.processes.size());
  std::vector<std::string> parts;
  for (int j = 0; j < slices; ++j) {
    parts.push_back(slice_part_path(work_folder, s.segment, j));
    std::error_code ec;
    if (!std::filesystem::is_regular_file(parts.back(), ec))
      throw LaunchError(stage + ": the part file '" + parts.back() + "' of segment " +
                        std::to_string(s.segment) + " (slice " + std::to_string(j + 1) + " of " +
                        std::to_string(slices) + ", worker process " +
                        std::to_string(s.processes[j]) + ") is missing");
  }
  // The later parts are appended to the first, which then replaces the
  // segment's result file in one rename: only the later slices are copied,
  // and the result file is never seen half-joined. Blocks as large as the
  // buffer bypass the output buffer.
  OutputFile out(parts.front(), OutputFile::Mode::kAppend, 1 << 16);
  for (std::size_t j = 1; j < parts.size(); ++j) append_file(out, parts[j], buffer);
  out.close();
  const std::string result = numbered_path(work_folder, s.segment, kResultSuffix);
  std::error_code ec;
  std::filesystem::rename(parts.front(), result, ec);
  if (ec)
    throw IoError("cannot rename '" + parts.front() + "' to '" + result + "': " + ec.message());
  for (std::size_t j = 1; j < parts.size(); ++j) {
    std::filesystem::remove(parts[j], ec);
    if (ec) throw IoError("cannot remove '" + parts[j] + "': " + ec.message());
  }
}

}  // namespace

void join_slice_parts(const std::string& work_folder, const SharePlan& plan,
                      const std::string& stage) {
  if (plan.empty()) return;
  std::vector<char> buffer(std::size_t{4} << 20);
  for (const SharedSegment& s : plan) join_segment(work_folder, s, stage, buffer);
}

}  // namespace quilm
