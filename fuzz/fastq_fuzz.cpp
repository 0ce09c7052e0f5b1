// The FASTQ dataset reader: the dataset becomes the numbered read file, which
// is then read back record by record.
#include <cstddef>
#include <cstdint>

#include "common/input_file.hpp"
#include "common/numbered_reads.hpp"
#include "fuzz_support.hpp"
#include "pipeline/read_preparation.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quilm::fuzz::ScratchDir dir;
  const std::string dataset = dir.file("reads.fq");
  quilm::fuzz::write_file(dataset, quilm::fuzz::as_text(data, size));
  quilm::fuzz::refuse_cleanly([&] {
    quilm::InputFile in(dataset);
    const quilm::ReadPreparation reads = quilm::chang_fastqfile(in, dir.folder(), 1 << 30);
    quilm::NumberedReadReader reader(dir.file("0.fastq"));
    quilm::NumberedRead read;
    int seen = 0;
    while (reader.next(read)) ++seen;
    // The numbered file holds exactly the reads counted, but those of length 0.
    if (seen != reads.read_count - reads.empty_reads) __builtin_trap();
  });
  return 0;
}
