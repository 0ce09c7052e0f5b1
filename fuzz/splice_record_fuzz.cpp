// The split-read worker's result record, record by record.
#include <cstddef>
#include <cstdint>

#include "common/splice_record.hpp"
#include "fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quilm::fuzz::ScratchDir dir;
  const std::string path = dir.file("1.r");
  quilm::fuzz::write_file(path, quilm::fuzz::as_text(data, size));
  quilm::fuzz::refuse_cleanly([&] {
    quilm::SpliceRecordReader reader(path);
    quilm::SpliceRecord record;
    while (reader.next(record)) {
    }
  });
  return 0;
}
