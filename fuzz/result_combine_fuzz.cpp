// A mapping cycle's combination over a work folder made from the input:
//   <read_count> <segment_count> <seed> <max_errors> <indel> <export_all>
//   ==== fast_index.txt ==== 1.r ==== 2.r ==== the cycle's read file
// The segment index round trips through its writer; the merged hits and the
// next cycle's reads that the combination writes must read back and write
// again to the same bytes.
#include <cstddef>
#include <cstdint>

#include "common/paths.hpp"
#include "common/work_files.hpp"
#include "fuzz_params.hpp"
#include "pipeline/result_combine.hpp"
#include "round_trip.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quilm;
  const auto parts = fuzz::split_parts(fuzz::as_text(data, size), 5);
  const auto p = fuzz::read_params(parts[0], {{0, 200}, {0, 3}, {1, 14}, {0, 5}, {0, 1}, {0, 2}});
  fuzz::ScratchDir dir;
  const std::string work = dir.folder();
  fuzz::write_file(join_path(work, kSegmentIndexFile), parts[1]);
  fuzz::write_file(numbered_path(work, 1, kResultSuffix), parts[2]);
  fuzz::write_file(numbered_path(work, 2, kResultSuffix), parts[3]);
  fuzz::write_file(join_path(work, kReadFile), parts[4]);
  fuzz::refuse_cleanly([&] { fuzz::check_segment_index_round_trip(work, p[1]); });
  const std::string merged = join_path(work, kMappedHitFile);
  fuzz::refuse_cleanly([&] {
    RunConfig run;
    run.read_count = p[0];
    run.segment_count = p[1];
    run.work_folder = work;
    run.max_errors = p[3];
    run.indel_toggle = p[4];
    run.export_all_toggle = p[5];
    result_combine(run, merged, p[2], join_path(work, kReadFile));
    fuzz::check_canonical<MappingOutputReader, MappingOutputRecord>(merged);
    fuzz::check_canonical<NumberedReadReader, NumberedRead>(
        numbered_path(work, p[2], kCycleReadSuffix));
  });
  return 0;
}
