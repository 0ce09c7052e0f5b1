// The FASTQ dataset reader: the dataset becomes the numbered read file, which
// must then read back as exactly the reads counted, and be written again to
// the same bytes. (A FASTQ dataset is only read, never written, so it has no
// round trip of its own.)
#include <cstddef>
#include <cstdint>

#include "pipeline/read_preparation.hpp"
#include "round_trip.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quilm;
  fuzz::ScratchDir dir;
  const std::string dataset = dir.file("reads.fq");
  fuzz::write_file(dataset, fuzz::as_text(data, size));
  fuzz::refuse_cleanly([&] {
    const int count = chang_fastqfile(dataset, dir.folder());
    const auto reads = fuzz::check_canonical<NumberedReadReader, NumberedRead>(dir.file("0.fastq"));
    QUILM_FUZZ_CHECK(static_cast<long>(reads.size()) == count,
                     "the numbered read file does not hold exactly the reads counted");
    for (std::size_t k = 0; k < reads.size(); ++k)
      QUILM_FUZZ_CHECK(reads[k].number == static_cast<int>(k) + 1,
                       "the reads are not numbered 1, 2, ... in file order");
  });
  return 0;
}
