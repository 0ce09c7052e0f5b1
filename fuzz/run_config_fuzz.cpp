// The two files every worker reads first, as
//   config.txt ==== taskmpi.txt
// config.txt read as both drivers and the workers read it, with and without
// the splice line, then the task table for the segment count it gives; what
// is read is written back and must read back the same, and writing that
// again must give the same bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <tuple>

#include "common/run_config.hpp"
#include "common/task_table.hpp"
#include "fuzz_support.hpp"

namespace {

auto fields(const quilm::RunConfig& c) {
  return std::tie(c.work_folder, c.ref_path, c.output_path, c.segment_count, c.read_count,
                  c.max_read_length, c.max_errors, c.indel_toggle, c.seed_length, c.masked_toggle,
                  c.best_toggle, c.unidirectional_toggle, c.cpu_cores, c.memory_reduction_toggle,
                  c.export_all_toggle, c.has_splice_line, c.min_gap_distance, c.max_gap_distance,
                  c.splice_seed_length);
}

quilm::RunConfig round_trip(const std::string& path, bool splice_line) {
  using namespace quilm;
  const RunConfig config = read_run_config(path, splice_line);
  const std::string copy = path + ".copy";
  write_run_config(copy, config);
  const std::string bytes = fuzz::file_bytes(copy);
  const RunConfig again = fuzz::read_own([&] { return read_run_config(copy, splice_line); });
  QUILM_FUZZ_CHECK(fields(again) == fields(config), "config.txt written and read back differs");
  write_run_config(copy, again);
  QUILM_FUZZ_CHECK(fuzz::file_bytes(copy) == bytes, "config.txt written twice differs");
  return config;
}

// The task table of `folder`, written into a folder of its own and read back.
void task_round_trip(const std::string& folder, int segment_count) {
  using namespace quilm;
  const std::vector<int> table = read_task_table(folder, segment_count);
  const std::string copy = folder + "/copy";
  std::filesystem::create_directory(copy);
  write_task_table(copy, table);
  const std::string bytes = fuzz::file_bytes(copy + "/" + kTaskFile);
  const std::vector<int> again =
      fuzz::read_own([&] { return read_task_table(copy, segment_count); });
  QUILM_FUZZ_CHECK(again == table, "taskmpi.txt written and read back differs");
  write_task_table(copy, again);
  QUILM_FUZZ_CHECK(fuzz::file_bytes(copy + "/" + kTaskFile) == bytes,
                   "taskmpi.txt written twice differs");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quilm;
  const auto parts = fuzz::split_parts(fuzz::as_text(data, size), 2);
  fuzz::ScratchDir dir;
  const std::string path = dir.file(kConfigFile);
  fuzz::write_file(path, parts[0]);
  fuzz::write_file(dir.file(kTaskFile), parts[1]);
  fuzz::refuse_cleanly([&] { round_trip(path, true); });
  fuzz::refuse_cleanly([&] {
    const RunConfig config = round_trip(path, false);
    // Kept small: the table reads the same way for any count.
    task_round_trip(dir.folder(), std::clamp(config.segment_count, 0, 300));
  });
  return 0;
}
