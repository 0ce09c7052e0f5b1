// The splice stage's reading over a work folder made from the input:
//   <read_count> <segment_count> <seed>
//   ==== fast_index.txt ==== 1.r ==== 2.r ==== 0.fastq ==== quilm2.tmp
// first the selection of the splice cycle's reads, then the combination of
// the split-read results. Every file the stage writes must read back and
// write again to the same bytes.
#include <cstddef>
#include <cstdint>

#include "common/paths.hpp"
#include "common/work_files.hpp"
#include "fuzz_params.hpp"
#include "pipeline/splice_stage.hpp"
#include "round_trip.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quilm;
  const auto parts = fuzz::split_parts(fuzz::as_text(data, size), 6);
  const auto p = fuzz::read_params(parts[0], {{0, 200}, {0, 3}, {1, 14}});
  fuzz::ScratchDir dir;
  const std::string work = dir.folder();
  fuzz::write_file(join_path(work, kSegmentIndexFile), parts[1]);
  fuzz::write_file(numbered_path(work, 1, kResultSuffix), parts[2]);
  fuzz::write_file(numbered_path(work, 2, kResultSuffix), parts[3]);
  fuzz::write_file(join_path(work, kReadFile), parts[4]);
  fuzz::write_file(join_path(work, kMappedHitFile), parts[5]);
  fuzz::refuse_cleanly([&] {
    splice_chang_fastqfile(work, p[0]);
    fuzz::check_canonical<NumberedReadReader, NumberedRead>(join_path(work, kSpliceReadFile));
  });
  const std::string merged = join_path(work, kSplicedHitFile);
  fuzz::refuse_cleanly([&] {
    RunConfig run;
    run.read_count = p[0];
    run.segment_count = p[1];
    run.work_folder = work;
    run.splice_seed_length = p[2];
    splice_result_combine(run, merged, join_path(work, kReadFile));
    fuzz::check_canonical<MergedSpliceReader, MergedSpliceRecord>(merged);
    fuzz::check_canonical<NumberedReadReader, NumberedRead>(
        numbered_path(work, p[2], kCycleReadSuffix));
  });
  return 0;
}
