#include "splice/junctor_task.hpp"

#include <string>
#include <vector>

#include "common/errors.hpp"
#include "common/paths.hpp"
#include "common/run_config.hpp"
#include "common/store_setting.hpp"
#include "splice/splicing_mapping.hpp"

namespace quilm {

namespace {

bool is_splice_seed_length(int seed_length) {
  return seed_length == 14 || seed_length == 12 || seed_length == 10 || seed_length == 8 ||
         seed_length == 6;
}

RunConfig read_splice_config() {
  RunConfig config = read_run_config(kConfigFile, true);
  if (config.max_read_length < 1)
    throw InputError("'" + std::string(kConfigFile) + "': maximum read length " +
                     std::to_string(config.max_read_length) + " is not positive");
  return config;
}

}  // namespace

SpliceVariant choose_splice_variant(int seed_length, int memory_reduction_toggle) {
  if (seed_length == 14 && memory_reduction_toggle == 1) return SpliceVariant::kReduced;
  if (seed_length <= 13 || memory_reduction_toggle == 0) return SpliceVariant::kFull;
  return SpliceVariant::kNone;
}

void run_junctor(const WorkerArgs& args) {
  if (!is_splice_seed_length(args.seed_length))
    throw UsageError("seed length " + std::to_string(args.seed_length) +
                     " is not one of 14, 12, 10, 8, 6");
  const RunConfig config = read_splice_config();
  // Entries of other processes, and negative ones (segments that no process
  // maps), are skipped.
  const std::vector<int> tasks = read_task_table(config.work_folder, config.segment_count);
  const std::string read_path = join_path(config.work_folder, kSpliceReadFile);
  const SpliceSettings settings{config.max_read_length,
                                config.max_errors,
                                args.seed_length,
                                config.masked_toggle,
                                config.min_gap_distance,
                                config.max_gap_distance,
                                read_index_store_setting(config.work_folder)};
  const SpliceVariant variant =
      choose_splice_variant(args.seed_length, config.memory_reduction_toggle);
  for (int k = 1; k <= config.segment_count; ++k) {
    if (tasks[k - 1] != args.process_number) continue;
    const std::string segment_path = numbered_path(config.work_folder, k, ".txt");
    const std::string result_path = numbered_path(config.work_folder, k, ".r");
    if (variant == SpliceVariant::kReduced)
      splicing_mapping_red(segment_path, read_path, result_path, settings);
    else if (variant == SpliceVariant::kFull)
      splicing_mapping(segment_path, read_path, result_path, settings);
  }
}

}  // namespace quilm
