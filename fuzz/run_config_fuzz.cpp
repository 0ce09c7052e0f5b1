// config.txt: read as both drivers and the workers read it, with and without
// the splice line; what is read is written back and must read back the same.
#include <cstddef>
#include <cstdint>

#include "common/run_config.hpp"
#include "fuzz_support.hpp"

namespace {

void round_trip(const std::string& path, bool splice_line) {
  const quilm::RunConfig config = quilm::read_run_config(path, splice_line);
  const std::string copy = path + ".copy";
  quilm::write_run_config(copy, config);
  const quilm::RunConfig again = quilm::read_run_config(copy, splice_line);
  if (again.work_folder != config.work_folder || again.ref_path != config.ref_path ||
      again.output_path != config.output_path || again.read_count != config.read_count ||
      again.max_gap_distance != config.max_gap_distance)
    __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quilm::fuzz::ScratchDir dir;
  const std::string path = dir.file(quilm::kConfigFile);
  quilm::fuzz::write_file(path, quilm::fuzz::as_text(data, size));
  quilm::fuzz::refuse_cleanly([&] { round_trip(path, false); });
  quilm::fuzz::refuse_cleanly([&] { round_trip(path, true); });
  return 0;
}
