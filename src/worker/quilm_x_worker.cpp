#include "worker/quilm_x_worker.hpp"

#include <string>
#include <vector>

#include "common/errors.hpp"
#include "common/paths.hpp"
#include "common/run_config.hpp"
#include "common/store_setting.hpp"
#include "common/task_table.hpp"
#include "worker/read_mapping.hpp"

namespace quilm {

int quilm_x_main(int argc, char** argv) {
  const WorkerArgs args = parse_worker_args(argc, argv);
  const int L = args.seed_length;
  if (L != 14 && L != 12 && L != 10 && L != 8 && L != 6)
    throw UsageError("seed length " + std::to_string(L) + " is not one of 14, 12, 10, 8, 6");

  const RunConfig config = read_run_config(kConfigFile, false);
  // Any number of segments; a negative entry (a segment that no process
  // maps, e.g. one made only of masked bases) is skipped by every process.
  const std::vector<int> tasks = read_task_table(config.work_folder, config.segment_count);
  const std::string read_path = cycle_read_file(config.work_folder, L);

  MapSettings settings;
  settings.max_read_length = config.max_read_length;
  settings.max_errors = config.max_errors;
  settings.indel_toggle = config.indel_toggle;
  settings.seed_length = L;
  settings.masked_toggle = config.masked_toggle;
  settings.best_toggle = config.best_toggle;
  settings.unidirectional_toggle = config.unidirectional_toggle;
  settings.export_all_toggle = config.export_all_toggle;
  settings.index_store = read_index_store_setting(config.work_folder);

  for (int k = 1; k <= config.segment_count; ++k) {
    if (tasks[static_cast<std::size_t>(k - 1)] != args.process_number) continue;
    const std::string segment_path = numbered_path(config.work_folder, k, ".txt");
    const std::string result_path = numbered_path(config.work_folder, k, ".r");
    if (L == 14 && config.memory_reduction_toggle == 1)
      quilm_x_red(segment_path, read_path, result_path, settings);
    else if (L <= 13 || config.memory_reduction_toggle == 0)
      quilm_x(segment_path, read_path, result_path, settings);
    // otherwise nothing is mapped and no result file is written
  }
  return 0;
}

}  // namespace quilm
