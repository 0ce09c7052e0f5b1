// The merged and output records: one input read by every reader of them and
// by the record counters of the drivers.
#include <cstddef>
#include <cstdint>

#include "common/output_records.hpp"
#include "fuzz_support.hpp"
#include "pipeline/merged_splice_record.hpp"
#include "pipeline/result_combine.hpp"
#include "pipeline/splice_stage.hpp"

namespace {

template <typename Reader, typename Record>
void read_all(const std::string& path) {
  Reader reader(path);
  Record record;
  while (reader.next(record)) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quilm;
  fuzz::ScratchDir dir;
  const std::string path = dir.file("records");
  fuzz::write_file(path, fuzz::as_text(data, size));
  fuzz::refuse_cleanly([&] { read_all<MappingOutputReader, MappingOutputRecord>(path); });
  fuzz::refuse_cleanly([&] { read_all<SpliceOutputReader, SpliceOutputRecord>(path); });
  fuzz::refuse_cleanly([&] { read_all<MergedSpliceReader, MergedSpliceRecord>(path); });
  fuzz::refuse_cleanly([&] { tongji(path); });
  fuzz::refuse_cleanly([&] { splice_tongji(path); });
  return 0;
}
