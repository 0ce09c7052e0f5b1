// The export's reader of "<output>-rescue": whatever it accepts places a
// read of the CIGAR's length inside its chromosome, so that describing it
// against the reference reads no base outside.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.hpp"
#include "sam/rescued_alignments.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quilm;
  fuzz::ScratchDir dir;
  const std::string path = dir.file("run-rescue");
  fuzz::write_file(path, fuzz::as_text(data, size));
  sam::ReferenceGenome genome;
  sam::add_chromosome(genome, "c1", "ACGTACGTTTGACCANNACGTAGGCTAGCTAGCATCGA");
  sam::add_chromosome(genome, "c2", "GGGGCCCCAAAATTTT");
  fuzz::refuse_cleanly([&] {
    sam::PlacementWork work;
    sam::Placement placement;
    for (const sam::RescuedAlignment& a : sam::read_rescued_alignments(path, genome)) {
      const sam::Chromosome& c = genome.chromosomes[static_cast<std::size_t>(a.chromosome)];
      QUILM_FUZZ_CHECK(a.position >= 0 && a.position < c.length, "a placement outside");
      sam::place_rescued(a, std::string(a.read_length, 'A'), work, placement);
      sam::describe_against_reference(c, work, placement);
    }
  });
  return 0;
}
