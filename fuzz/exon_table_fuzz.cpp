// refjunc's exon table, then the transcript hits placed on it:
//   exon table ("refFlat.txt") ==== mapping output of reads on transcripts
// from which the junction-crossing records are written.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.hpp"
#include "tools/refjunc/refflat_splice.hpp"
#include "tools/refjunc/transcript_model.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quilm;
  const auto parts = fuzz::split_parts(fuzz::as_text(data, size), 2);
  fuzz::ScratchDir dir;
  const std::string table_path = dir.file("refFlat.txt");
  const std::string hits_path = dir.file("hits");
  fuzz::write_file(table_path, parts[0]);
  fuzz::write_file(hits_path, parts[1]);
  fuzz::refuse_cleanly([&] {
    const refjunc::TranscriptTable table = refjunc::stackAS(table_path);
    for (const refjunc::TranscriptModel& model : table)
      refjunc::binary_sort(table, model.identifier);
    refjunc::refFlattosplice(table, hits_path, dir.file("refFlat-splice"));
  });
  return 0;
}
