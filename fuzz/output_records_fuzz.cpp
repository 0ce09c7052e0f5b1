// The merged and output records: one input read by every reader of them and
// by the record counters of the drivers, and each reader's records round
// tripped through the writer of their format.
#include <cstddef>
#include <cstdint>

#include "pipeline/result_combine.hpp"
#include "pipeline/splice_stage.hpp"
#include "round_trip.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quilm;
  fuzz::ScratchDir dir;
  const std::string path = dir.file("records");
  fuzz::write_file(path, fuzz::as_text(data, size));
  fuzz::refuse_cleanly(
      [&] { fuzz::check_round_trip<MappingOutputReader, MappingOutputRecord>(path); });
  fuzz::refuse_cleanly(
      [&] { fuzz::check_round_trip<SpliceOutputReader, SpliceOutputRecord>(path); });
  fuzz::refuse_cleanly(
      [&] { fuzz::check_round_trip<MergedSpliceReader, MergedSpliceRecord>(path); });
  fuzz::refuse_cleanly([&] {
    fuzz::check_round_trip<refjunc::SpliceEvidenceReader, refjunc::SpliceEvidenceRecord>(path);
  });
  fuzz::refuse_cleanly([&] { tongji(path); });
  fuzz::refuse_cleanly([&] { splice_tongji(path); });
  return 0;
}
