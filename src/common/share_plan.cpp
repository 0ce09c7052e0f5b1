#include "common/share_plan.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "common/errors.hpp"
#include "common/input_file.hpp"
#include "common/output_file.hpp"
#include "common/paths.hpp"
#include "common/work_files.hpp"

namespace quilm {

void write_share_plan(const std::string& work_folder, const SharePlan& plan) {
  OutputFile out(join_path(work_folder, kSharePlanFile), OutputFile::Mode::kTruncate, 1 << 16);
  for (const SharedSegment& shared : plan) {
    out.write_int(shared.segment);
    for (int process : shared.processes) {
      out.put(' ');
      out.write_int(process);
    }
    out.put('\n');
  }
  out.close();
}

namespace {

// The numbers of one line; false when anything but digits and single
// blanks between them occurs.
bool parse_numbers(const std::string& line, std::vector<int>& numbers) {
  numbers.clear();
  const char* p = line.c_str();
  while (*p) {
    if (*p < '0' || *p > '9') return false;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(p, &end, 10);
    if (errno != 0 || v > 1 << 30) return false;
    numbers.push_back(static_cast<int>(v));
    p = end;
    if (*p == ' ') ++p;
  }
  return !numbers.empty() && line.back() != ' ';
}

}  // namespace

SharePlan read_share_plan(const std::string& work_folder, int segment_count) {
  SharePlan plan;
  const std::string path = join_path(work_folder, kSharePlanFile);
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return plan;
  InputFile in(path, 1 << 16);
  std::string line;
  std::vector<int> numbers;
  for (int line_number = 1; in.read_line(line); ++line_number) {
    const int last = plan.empty() ? 0 : plan.back().segment;
    if (!parse_numbers(line, numbers) || numbers.size() < 2 || numbers[0] <= last ||
        numbers[0] > segment_count)
      throw InputError("'" + path + "' line " + std::to_string(line_number) +
                       " is not '<segment> <process>...' for a segment from " +
                       std::to_string(last + 1) + " to " + std::to_string(segment_count));
    plan.push_back({numbers[0], std::vector<int>(numbers.begin() + 1, numbers.end())});
  }
  return plan;
}

std::string slice_part_path(const std::string& work_folder, int segment, int slice) {
  return numbered_path(work_folder, segment, kResultPartSuffix + std::to_string(slice));
}

std::vector<SegmentJob> worker_jobs(const std::string& work_folder, const std::vector<int>& tasks,
                                    const SharePlan& plan, int process) {
  std::vector<SegmentJob> jobs;
  auto shared = plan.begin();
  for (int k = 1; k <= static_cast<int>(tasks.size()); ++k) {
    while (shared != plan.end() && shared->segment < k) ++shared;
    if (shared == plan.end() || shared->segment != k) {
      if (tasks[k - 1] == process)
        jobs.push_back({k, {}, numbered_path(work_folder, k, kResultSuffix)});
      continue;
    }
    const int slices = static_cast<int>(shared->processes.size());
    for (int j = 0; j < slices; ++j)
      if (shared->processes[j] == process)
        jobs.push_back({k, {j, slices}, slice_part_path(work_folder, k, j)});
  }
  // Processes that map the same segments start on different ones, so that
  // a fresh store's indexes are built side by side and not one at a time
  // with the others waiting for each.
  if (!jobs.empty())
    std::rotate(jobs.begin(), jobs.begin() + process % static_cast<int>(jobs.size()), jobs.end());
  return jobs;
}

}  // namespace quilm
