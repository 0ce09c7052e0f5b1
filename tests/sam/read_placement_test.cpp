// Hits placed on the reference: the alignment, CIGAR and MD of mapping and
// splice hits.
#include "sam/read_placement.hpp"

#include <htslib/sam.h>

#include <algorithm>
#include <string>

#include "sam/reference_genome.hpp"
#include "sam/sam_test_data.hpp"

namespace quilm::sam {
namespace {

using test::mapping_hit;
using test::reverse_complement_of;

std::string cigar_text(const Placement& p) {
  std::string text;
  for (std::uint32_t c : p.cigar)
    text += std::to_string(bam_cigar_oplen(c)) + std::string(1, bam_cigar_opchr(c));
  return text;
}

class PlacementTest : public ::testing::Test {
 protected:
  std::string bases = test::congruential_bases(600, 3);
  ReferenceGenome genome = [this] {
    ReferenceGenome g;
    add_chromosome(g, "chrA", bases);
    return g;
  }();
  const Chromosome& chr = genome.chromosomes[0];
  PlacementWork work;
  Placement out;

  std::string place(const Hit& hit, const std::string& read) {
    EXPECT_TRUE(place_mapping_hit(hit, read, chr, work, out));
    describe_against_reference(chr, work, out);
    return std::to_string(out.position) + " " + cigar_text(out) + " NM" +
           std::to_string(out.edit_distance) + " " + out.md;
  }
};

TEST_F(PlacementTest, UngappedHitsKeepTheirPosition) {
  std::string read = bases.substr(50, 40);
  EXPECT_EQ(place(mapping_hit(50, 'F', 0, 40), read), "50 40M NM0 40");
  // Lower case in the read and in the reference compares as upper case.
  std::transform(read.begin(), read.end(), read.begin(), ::tolower);
  EXPECT_EQ(place(mapping_hit(50, 'F', 0, 40), read), "50 40M NM0 40");
  EXPECT_EQ(out.sequence, bases.substr(50, 40));
  EXPECT_EQ(place(mapping_hit(50, 'R', 0, 40), reverse_complement_of(bases.substr(50, 40))),
            "50 40M NM0 40");
  EXPECT_TRUE(out.reverse);
}

TEST_F(PlacementTest, IndelHitsAreAlignedAroundTheCandidateStart) {
  const std::string& g = bases;
  // Deletion of three bases, candidate start three bases late.
  const std::string deleted = g.substr(200, 15) + g.substr(218, 45);
  EXPECT_EQ(place(mapping_hit(203, 'F', 1, 60), deleted),
            "200 15M3D45M NM3 15^" + g.substr(215, 3) + "45");
  // Two inserted bases that cannot slide along the reference.
  const std::string extra = {g[325] == 'A' ? 'C' : 'A', g[324] == 'G' ? 'T' : 'G'};
  EXPECT_EQ(place(mapping_hit(300, 'F', 2, 52), g.substr(300, 25) + extra + g.substr(325, 25)),
            "300 25M2I25M NM2 50");
  // A deletion next to a mismatch: MD puts a zero between them.
  std::string both = g.substr(400, 20) + g.substr(422, 30);
  for (char c : {'A', 'C', 'G', 'T'})
    if (c != g[420] && c != g[421] && c != g[422]) both[20] = c;
  EXPECT_EQ(place(mapping_hit(400, 'F', 2, 50), both),
            "400 20M2D30M NM3 20^" + g.substr(420, 2) + "0" + g.substr(422, 1) + "29");
}

TEST_F(PlacementTest, UngappedWinsATieAndNoAlignmentOutsideTheChromosome) {
  // More mismatches than the record says, but no gap helps: stays ungapped.
  std::string read = bases.substr(100, 30);
  read[15] = read[15] == 'A' ? 'C' : 'A';
  EXPECT_EQ(place(mapping_hit(100, 'F', 0, 30), read).substr(0, 7), "100 30M");
  // Near the end the alignment may not run past the last base.
  place(mapping_hit(590, 'F', 2, 15), bases.substr(590, 10) + "ACGTA");
  EXPECT_LE(out.position + bam_cigar2rlen(static_cast<int>(out.cigar.size()), out.cigar.data()),
            600);
}

TEST_F(PlacementTest, SplicedOrientationComesFromTheBases) {
  const std::string matched = bases.substr(100, 30) + bases.substr(300, 40);
  Hit hit = mapping_hit(100, 'R', 0, 70);
  hit.split = 29;
  hit.second = 270;
  for (bool reverse : {false, true}) {
    place_splice_hit(hit, reverse ? reverse_complement_of(matched) : matched, chr, work, out);
    describe_against_reference(chr, work, out);
    EXPECT_EQ(out.reverse, reverse);
    EXPECT_EQ(cigar_text(out) + " " + out.md, "30M170N40M 70");
    EXPECT_EQ(out.sequence, matched);
  }
}

}  // namespace
}  // namespace quilm::sam
