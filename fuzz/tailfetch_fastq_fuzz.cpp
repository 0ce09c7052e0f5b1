// tailfetch's FASTQ reader, each record then cut into the pieces the tool
// writes for an unmapped read.
#include <cstddef>
#include <cstdint>

#include "common/output_file.hpp"
#include "fuzz_support.hpp"
#include "tools/tailfetch/fastq_reader.hpp"
#include "tools/tailfetch/tailfetch.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quilm;
  fuzz::ScratchDir dir;
  const std::string path = dir.file("reads.fq");
  fuzz::write_file(path, fuzz::as_text(data, size));
  fuzz::refuse_cleanly([&] {
    tailfetch::FastqReader reader(path);
    OutputFile out(dir.file("pieces.fq"));
    tailfetch::FastqRecord record;
    for (long long number = 1; reader.next(record); ++number)
      tailfetch::write_read_pieces(out, number, record.sequence, record.quality);
    out.close();
  });
  return 0;
}
