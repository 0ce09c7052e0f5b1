// The splice stage's reading over a work folder made from the input:
//   <read_count> <segment_count> <seed>
//   ==== fast_index.txt ==== 1.r ==== 2.r ==== 0.fastq ==== quilm2.tmp
// first the selection of the splice cycle's reads, then the combination of
// the split-read results, then the record count of what it merged.
#include <cstddef>
#include <cstdint>

#include "common/paths.hpp"
#include "fuzz_params.hpp"
#include "fuzz_support.hpp"
#include "pipeline/splice_stage.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quilm;
  const auto parts = fuzz::split_parts(fuzz::as_text(data, size), 6);
  const auto p = fuzz::read_params(parts[0], {{0, 200}, {0, 3}, {1, 14}});
  fuzz::ScratchDir dir;
  const std::string work = dir.folder();
  fuzz::write_file(join_path(work, "fast_index.txt"), parts[1]);
  fuzz::write_file(numbered_path(work, 1, ".r"), parts[2]);
  fuzz::write_file(numbered_path(work, 2, ".r"), parts[3]);
  fuzz::write_file(join_path(work, "0.fastq"), parts[4]);
  fuzz::write_file(join_path(work, "quilm2.tmp"), parts[5]);
  fuzz::refuse_cleanly([&] { splice_chang_fastqfile(work, p[0]); });
  const std::string merged = join_path(work, "splice.tmp");
  fuzz::refuse_cleanly([&] {
    splice_result_combine(p[0], p[1], work, merged, p[2], join_path(work, "0.fastq"));
    splice_tongji(merged);
  });
  return 0;
}
