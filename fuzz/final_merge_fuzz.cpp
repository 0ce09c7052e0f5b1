// The final merge over a work folder made from the input:
//   <read_count> ==== quilm2.tmp ==== splice.tmp
// Each of the six files it writes must read back and write again to the
// same bytes.
#include <cstddef>
#include <cstdint>

#include "common/paths.hpp"
#include "common/work_files.hpp"
#include "fuzz_params.hpp"
#include "pipeline/final_merge.hpp"
#include "round_trip.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quilm;
  const auto parts = fuzz::split_parts(fuzz::as_text(data, size), 3);
  const auto p = fuzz::read_params(parts[0], {{0, 200}});
  fuzz::ScratchDir dir;
  const std::string work = dir.folder();
  fuzz::write_file(join_path(work, kMappedHitFile), parts[1]);
  fuzz::write_file(join_path(work, kSplicedHitFile), parts[2]);
  const std::string out = join_path(work, "result");
  fuzz::refuse_cleanly([&] {
    compare_quilm2splice(out, work, p[0]);
    for (std::size_t k = 0; k < std::size(kOutputSuffixes); ++k)
      if (k < kMappedOutputs)
        fuzz::check_canonical<MappingOutputReader, MappingOutputRecord>(out + kOutputSuffixes[k]);
      else
        fuzz::check_canonical<SpliceOutputReader, SpliceOutputRecord>(out + kOutputSuffixes[k]);
  });
  return 0;
}
