// GTF and GFF exon-line selection: the whole input as an annotation read both
// ways, and each of its lines given to both line selectors.
#include <cstddef>
#include <cstdint>

#include "common/annotation_reading.hpp"
#include "fuzz_support.hpp"

namespace {

void select_lines(std::string_view text) {
  quilm::ExonFields fields;
  while (!text.empty()) {
    const std::size_t nl = text.find('\n');
    const std::string_view line = text.substr(0, nl);
    quilm::select_gtf_exon(line, fields);
    quilm::select_gff_exon(line, fields);
    if (nl == std::string_view::npos) break;
    text.remove_prefix(nl + 1);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = quilm::fuzz::as_text(data, size);
  select_lines(text);
  quilm::fuzz::ScratchDir dir;
  const std::string path = dir.file("annotation");
  quilm::fuzz::write_file(path, text);
  quilm::fuzz::refuse_cleanly([&] { quilm::transcriptid_stack(path); });
  quilm::fuzz::refuse_cleanly([&] { quilm::gff_stack(path); });
  return 0;
}
