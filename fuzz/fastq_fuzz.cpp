// The FASTQ dataset reader: the dataset becomes the numbered read file, which
// must then read back as exactly the reads counted (but those of length 0),
// numbered upwards, and be written again to the same bytes. (A FASTQ dataset is only read, never
// written, so it has no round trip of its own.)
#include <cstddef>
#include <cstdint>

#include "common/input_file.hpp"
#include "common/work_files.hpp"
#include "pipeline/read_preparation.hpp"
#include "round_trip.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quilm;
  fuzz::ScratchDir dir;
  const std::string dataset = dir.file("reads.fq");
  fuzz::write_file(dataset, fuzz::as_text(data, size));
  fuzz::refuse_cleanly([&] {
    InputFile in(dataset);
    const ReadPreparation counted = chang_fastqfile(in, dir.folder(), 1 << 30);
    const auto reads = fuzz::check_canonical<NumberedReadReader, NumberedRead>(dir.file(kReadFile));
    // Reads of length 0 keep their numbers but stay out of the file.
    QUILM_FUZZ_CHECK(static_cast<long>(reads.size()) == counted.read_count - counted.empty_reads,
                     "the numbered read file does not hold exactly the reads counted");
    for (std::size_t k = 0; k < reads.size(); ++k)
      QUILM_FUZZ_CHECK(reads[k].number > (k == 0 ? 0 : reads[k - 1].number) &&
                           reads[k].number <= counted.read_count,
                       "the reads are not numbered upwards in file order");
  });
  return 0;
}
