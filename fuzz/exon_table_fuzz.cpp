// refjunc's exon table, then the transcript hits placed on it:
//   exon table ("refFlat.txt") ==== mapping output of reads on transcripts
// from which the junction-crossing records are written. The transcripts read
// are written again as annoprep writes its exon table and must read back the
// same; the junction records written must read back and write again to the
// same bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <map>
#include <tuple>

#include "common/output_file.hpp"
#include "round_trip.hpp"
#include "tools/annoprep/refflat_writing.hpp"
#include "tools/annoprep/transcript_table.hpp"
#include "tools/refjunc/refflat_splice.hpp"
#include "tools/refjunc/transcript_model.hpp"

namespace {

using quilm::refjunc::TranscriptModel;
using quilm::refjunc::TranscriptTable;

auto fields(const TranscriptModel& m) {
  return std::tie(m.identifier, m.chromosome, m.strand, m.exon_starts, m.exon_ends, m.cumulative);
}

// The annotation's strand character that refjunc reads as `strand`.
char annotation_strand(char strand) {
  return strand == 'F' ? '+' : strand == 'R' ? '-' : strand;
}

// The transcripts as annoprep writes them from a GTF annotation, exons in
// the order given. annoprep never writes a transcript without exons.
void write_exon_table(const TranscriptTable& table, const std::string& path) {
  using namespace quilm;
  using namespace quilm::annoprep;
  std::map<std::string, ChromosomeExons> by_chromosome;
  for (const TranscriptModel& m : table) {
    if (m.exon_starts.empty()) continue;
    ChromosomeExons& exons = by_chromosome[m.chromosome];
    const auto id = static_cast<std::uint32_t>(exons.ids.size());
    exons.ids.push_back(m.identifier);
    for (std::size_t k = 0; k < m.exon_starts.size(); ++k)
      exons.lines.push_back({id, annotation_strand(m.strand), static_cast<long>(m.exon_starts[k]),
                             static_cast<long>(m.exon_ends[k])});
  }
  quilm::OutputFile refflat(path), info(path + "_info");
  for (const auto& [chromosome, exons] : by_chromosome) {
    quilm::annoprep::TranscriptTable written = transcriptid_sort(exons, chromosome);
    transcriptinfo_stack(exons, written, refflat, info);
  }
  refflat.close();
  info.close();
}

void check_exon_table_round_trip(const TranscriptTable& table, const std::string& copy) {
  write_exon_table(table, copy);
  const TranscriptTable again =
      quilm::fuzz::read_own([&] { return quilm::refjunc::stackAS(copy); });
  TranscriptTable expected;
  std::copy_if(table.begin(), table.end(), std::back_inserter(expected),
               [](const TranscriptModel& m) { return !m.exon_starts.empty(); });
  QUILM_FUZZ_CHECK(std::equal(expected.begin(), expected.end(), again.begin(), again.end(),
                              [](const TranscriptModel& a, const TranscriptModel& b) {
                                return fields(a) == fields(b);
                              }),
                   "the exon table written as annoprep writes it reads back differently");
}

}  // namespace

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
    check_exon_table_round_trip(table, dir.file("refFlat-copy.txt"));
    for (const refjunc::TranscriptModel& model : table)
      refjunc::binary_sort(table, model.identifier);
    const std::string junctions = dir.file("refFlat-splice");
    refjunc::refFlattosplice(table, hits_path, junctions);
    fuzz::check_canonical<refjunc::SpliceEvidenceReader, refjunc::SpliceEvidenceRecord>(junctions);
  });
  return 0;
}
