// The reference reader and segmentation: a FASTA that check_fasta accepts is
// cut into segments small enough that most inputs fill several of them, then
// the segment index written is read back the way the combination reads it,
// must place the start of every segment, and must write again to the same
// bytes. The task lines written beside it are then assigned to processes,
// and the task table must write again to the same bytes too. (The reference
// FASTA is only read, never written: it has no round trip of its own.)
#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "common/task_table.hpp"
#include "pipeline/segmentation.hpp"
#include "pipeline/task_assignment.hpp"
#include "round_trip.hpp"

namespace {

void check_task_table(const std::string& folder, int segments, int cpu_cores) {
  using namespace quilm;
  const std::string path = folder + "/" + kTaskFile;
  const std::vector<int> table = fuzz::read_own([&] {
    task_fenpei(folder, segments, cpu_cores);
    return read_task_table(folder, segments);
  });
  const std::string again = folder + "/again";
  std::filesystem::create_directory(again);
  write_task_table(again, table);
  QUILM_FUZZ_CHECK(fuzz::file_bytes(again + "/" + kTaskFile) == fuzz::file_bytes(path),
                   "'" + path + "' read and written again gives other bytes");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  // The first byte picks the masked toggle and the segment geometry.
  const int masked_toggle = data[0] & 1;
  const int overlap = (data[0] >> 1) & 7;
  const std::int64_t segment_size = 8 + ((data[0] >> 4) & 15) * 4;
  quilm::fuzz::ScratchDir dir;
  const std::string ref = dir.file("ref.fa");
  quilm::fuzz::write_file(ref, quilm::fuzz::as_text(data + 1, size - 1));
  int segments = 0;
  quilm::fuzz::refuse_cleanly([&] {
    quilm::check_fasta(ref);
    segments = quilm::splitfasta(ref, dir.folder(), overlap, segment_size, masked_toggle);
  });
  if (segments == 0) return 0;
  quilm::fuzz::check_segment_index_canonical(dir.folder(), segments);
  quilm::fuzz::read_own([&] {
    const quilm::SegmentIndex index(dir.folder(), segments);
    for (int s = 1; s <= segments; ++s) index.locate(s, 0);
  });
  check_task_table(dir.folder(), segments, 1 + static_cast<int>(size % 3));
  return 0;
}
