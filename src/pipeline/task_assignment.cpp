#include "pipeline/task_assignment.hpp"

#include "common/errors.hpp"
#include "common/input_file.hpp"
#include "common/paths.hpp"
#include "common/task_table.hpp"
#include "common/text_scanner.hpp"
#include "pipeline/segment_sizes.hpp"

namespace quilm {

std::vector<double> segment_weights(const std::string& work_folder, int segment_count) {
  const std::vector<SegmentSize> sizes = read_segment_sizes(work_folder, segment_count);
  std::vector<double> length(segment_count + 1, 0.0), effective(segment_count + 1, 0.0);
  for (int k = 1; k <= segment_count; ++k) {
    length[k] = static_cast<double>(sizes[k - 1].length);
    effective[k] = static_cast<double>(sizes[k - 1].unmasked);
  }
  std::vector<double> weight(segment_count + 1, 0.0);
  for (int k = 1; k <= segment_count; ++k) {
    // An empty segment has no work (0 / 0 would be undefined).
    if (length[k] == 0) continue;
    weight[k] = effective[k] / length[k];
    if (k == segment_count) {
      // The last, shorter segment is weighed against a full segment.
      const double full = segment_count > 1 ? length[k - 1] : length[k];
      weight[k] = weight[k] * length[k] / full;
    }
  }
  return weight;
}

std::vector<int> assign_segments(std::vector<double> weights, int cpu_cores) {
  const int count = static_cast<int>(weights.size()) - 1;
  std::vector<int> assignment(count > 0 ? count : 0, -1);
  std::vector<double> load(cpu_cores > 0 ? cpu_cores : 0, 0.0);
  if (load.empty()) return assignment;
  for (;;) {
    int chosen = 0;
    double greatest = 0;
    for (int k = 1; k <= count; ++k) {
      if (weights[k] > greatest) {  // strictly: equal weights keep the lower segment
        greatest = weights[k];
        chosen = k;
      }
    }
    if (chosen == 0) break;
    int process = 0;
    for (int p = 1; p < cpu_cores; ++p)
      if (load[p] < load[process]) process = p;
    assignment[chosen - 1] = process;
    load[process] += weights[chosen];
    weights[chosen] = 0;
  }
  return assignment;
}

void task_fenpei(const std::string& work_folder, int segment_count, int cpu_cores) {
  write_task_table(work_folder,
                   assign_segments(segment_weights(work_folder, segment_count), cpu_cores));
}

}  // namespace quilm
