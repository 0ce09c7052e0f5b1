// The numbered read file, record by record, and its round trip through the
// writer. The written file is also read in slices, as the worker processes
// share a cycle's reads: the slices of one count hold every record once, in
// file order.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/work_files.hpp"
#include "round_trip.hpp"

namespace {

void check_slices(const std::string& path, const std::vector<quilm::NumberedRead>& whole) {
  for (int count = 2; count <= 3; ++count) {
    std::vector<quilm::NumberedRead> joined;
    for (int index = 0; index < count; ++index) {
      quilm::NumberedReadReader reader(path, {index, count});
      quilm::NumberedRead read;
      while (reader.next(read)) joined.push_back(read);
    }
    QUILM_FUZZ_CHECK(quilm::fuzz::same_records(joined, whole),
                     "the slices of '" + path + "' do not hold its records once each");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quilm;
  fuzz::ScratchDir dir;
  const std::string path = dir.file(kReadFile);
  fuzz::write_file(path, fuzz::as_text(data, size));
  fuzz::refuse_cleanly([&] {
    const auto reads = fuzz::check_round_trip<NumberedReadReader, NumberedRead>(path);
    const std::string written = fuzz::written_copy(path);
    fuzz::read_own([&] { check_slices(written, reads); });
  });
  return 0;
}
