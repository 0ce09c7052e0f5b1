// The numbered read file, record by record.
#include <cstddef>
#include <cstdint>

#include "common/numbered_reads.hpp"
#include "fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quilm::fuzz::ScratchDir dir;
  const std::string path = dir.file("0.fastq");
  quilm::fuzz::write_file(path, quilm::fuzz::as_text(data, size));
  quilm::fuzz::refuse_cleanly([&] {
    quilm::NumberedReadReader reader(path);
    quilm::NumberedRead read;
    while (reader.next(read)) {
    }
  });
  return 0;
}
