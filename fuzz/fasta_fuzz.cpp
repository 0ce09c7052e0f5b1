// The reference reader and segmentation: a FASTA that check_fasta accepts is
// cut into segments small enough that most inputs fill several of them, then
// the segment index written is read back the way the combination reads it.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.hpp"
#include "pipeline/segment_index.hpp"
#include "pipeline/segmentation.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  // The first byte picks the masked toggle and the segment geometry.
  const int masked_toggle = data[0] & 1;
  const int overlap = (data[0] >> 1) & 7;
  const std::int64_t segment_size = 8 + ((data[0] >> 4) & 15) * 4;
  quilm::fuzz::ScratchDir dir;
  const std::string ref = dir.file("ref.fa");
  quilm::fuzz::write_file(ref, quilm::fuzz::as_text(data + 1, size - 1));
  quilm::fuzz::refuse_cleanly([&] {
    quilm::check_fasta(ref);
    const int segments = quilm::splitfasta(ref, dir.folder(), overlap, segment_size, masked_toggle);
    quilm::SegmentIndex index(dir.folder(), segments);
    for (int s = 1; s <= segments; ++s) index.locate(s, 0);
  });
  return 0;
}
