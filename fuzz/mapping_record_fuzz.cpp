// The seed-mapping worker's result record, record by record, and its round
// trip through the worker's writer.
#include <cstddef>
#include <cstdint>

#include "common/paths.hpp"
#include "common/work_files.hpp"
#include "round_trip.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quilm;
  fuzz::ScratchDir dir;
  const std::string path = numbered_path(dir.folder(), 1, kResultSuffix);
  fuzz::write_file(path, fuzz::as_text(data, size));
  fuzz::refuse_cleanly([&] { fuzz::check_round_trip<MappingRecordReader, MappingRecord>(path); });
  return 0;
}
