// tailfetch's FASTQ reader, each record then cut into the pieces the tool
// writes for an unmapped read; the FASTQ written must read back, with the
// same reader, as exactly those pieces.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "common/output_file.hpp"
#include "fuzz_support.hpp"
#include "tools/tailfetch/fastq_reader.hpp"
#include "tools/tailfetch/tailfetch.hpp"

namespace {

using quilm::tailfetch::FastqRecord;

// The pieces of a read as tailfetch documents them: 42 to 75 bases whole with
// its own quality; a longer read in 75-base pieces and a remainder of more
// than 41 bases, each with 'F' qualities; a shorter read none.
void add_pieces(const FastqRecord& read, std::vector<FastqRecord>& pieces) {
  std::string_view rest = read.sequence;
  if (rest.size() <= 41) return;
  if (rest.size() <= 75) {
    pieces.push_back(read);
    return;
  }
  for (; rest.size() >= 75; rest.remove_prefix(75))
    pieces.push_back({std::string(rest.substr(0, 75)), std::string(75, 'F')});
  if (rest.size() > 41) pieces.push_back({std::string(rest), std::string(rest.size(), 'F')});
}

bool same_pieces(const std::vector<FastqRecord>& a, const std::vector<FastqRecord>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
    return x.sequence == y.sequence && x.quality == y.quality;
  });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quilm;
  fuzz::ScratchDir dir;
  const std::string path = dir.file("reads.fq");
  const std::string pieces_path = dir.file("pieces.fq");
  fuzz::write_file(path, fuzz::as_text(data, size));
  fuzz::refuse_cleanly([&] {
    tailfetch::FastqReader reader(path);
    OutputFile out(pieces_path);
    FastqRecord record;
    std::vector<FastqRecord> expected;
    for (long long number = 1; reader.next(record); ++number) {
      tailfetch::write_read_pieces(out, number, record.sequence, record.quality);
      add_pieces(record, expected);
    }
    out.close();
    std::vector<FastqRecord> written;
    fuzz::read_own([&] {
      tailfetch::FastqReader again(pieces_path);
      while (again.next(record)) written.push_back(record);
    });
    QUILM_FUZZ_CHECK(same_pieces(written, expected),
                     "the FASTQ pieces written do not read back as the pieces of the reads");
  });
  return 0;
}
