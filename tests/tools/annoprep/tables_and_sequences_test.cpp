#include <sstream>

#include "support/test_support.hpp"
#include "tools/annoprep/refflat_writing.hpp"
#include "tools/annoprep/transcript_sequences.hpp"
#include "tools/annoprep/transcript_table.hpp"

namespace quilm::annoprep {
namespace {

using test::slurp;
using test::spit;

class AnnoprepTablesTest : public test::TempDirTest {
 protected:
  // Builds a chromosome's exon lines from "id strand start end" quadruples.
  static ChromosomeExons exons_of(std::vector<std::tuple<std::string, char, long, long>> rows) {
    ChromosomeExons exons;
    for (auto& [id, strand, start, end] : rows) {
      std::uint32_t number = 0;
      while (number < exons.ids.size() && exons.ids[number] != id) ++number;
      if (number == exons.ids.size()) exons.ids.push_back(id);
      exons.lines.push_back(ExonLine{number, strand, start, end});
    }
    return exons;
  }
  // Runs the table, refFlat and sequence steps of one chromosome.
  void run(const ChromosomeExons& exons, bool gff, const std::string& chromosome) {
    TranscriptTable table = transcriptid_sort(exons, "c1");
    OutputFile refflat(path("refFlat.txt")), info(path("refFlat_info")), mrna(path("refMrna.fa"));
    if (gff) {
      gffinfo_stack(exons, table, refflat, info);
    } else {
      transcriptinfo_stack(exons, table, refflat, info);
    }
    refMrna_create(table, chromosome, mrna, warnings);
  }
  std::ostringstream warnings;
};

TEST_F(AnnoprepTablesTest, TableIsSortedWithExonCounts) {
  ChromosomeExons exons = exons_of(
      {{"B", '+', 1, 2}, {"A", '+', 3, 4}, {"B", '+', 5, 6}, {"A", '+', 7, 8}, {"B", '+', 9, 9}});
  TranscriptTable table = transcriptid_sort(exons, "c1");
  ASSERT_EQ(table.entries.size(), 2u);
  EXPECT_EQ(table.entries[0].id, "A");
  EXPECT_EQ(table.entries[0].exon_count, 2);
  EXPECT_EQ(table.entries[1].id, "B");
  EXPECT_EQ(table.entries[1].exon_count, 3);
  std::size_t index = 9;
  EXPECT_TRUE(binary_sort(table, "B", index));
  EXPECT_EQ(index, 1u);
  EXPECT_FALSE(binary_sort(table, "AB", index));
}

TEST_F(AnnoprepTablesTest, GtfKeepsFileOrderAndSequencesFollowTheStrand) {
  //                 123456789012
  std::string chrom = "acgTacgtNNnn";
  run(exons_of({{"P", '+', 1, 3},
                {"M", '-', 9, 12},
                {"M", '-', 5, 6},
                {"D", '.', 1, 2},
                {"E", '+', 4, 3}}),
      false, chrom);
  EXPECT_EQ(slurp(path("refFlat.txt")),
            "c1\tD\t.\t1\t1,2\t\n"
            "c1\tE\t+\t1\t4,3\t\n"
            "c1\tM\t-\t2\t9,12\t5,6\t\n"
            "c1\tP\t+\t1\t1,3\t\n");
  EXPECT_EQ(slurp(path("refFlat_info")), "c1\t4\t5\n");
  // '-' exons are joined last line first, on the forward strand; only a, c, g, t are raised.
  EXPECT_EQ(slurp(path("refMrna.fa")), ">D\n\n>E\n\n>M\nACNNnn\n>P\nACG\n");
  EXPECT_EQ(warnings.str(), "");
}

TEST_F(AnnoprepTablesTest, GffReversesMinusExonsAndDropsOtherStrands) {
  run(exons_of({{"M", '-', 1, 2}, {"M", '-', 5, 6}, {"D", '.', 1, 2}, {"P", '+', 3, 3}}), true,
      "ACGTACGT");
  EXPECT_EQ(slurp(path("refFlat.txt")),
            "c1\tD\t.\t1\t\n"
            "c1\tM\t-\t2\t5,6\t1,2\t\n"
            "c1\tP\t+\t1\t3,3\t\n");
  EXPECT_EQ(slurp(path("refMrna.fa")), ">D\n\n>M\nACAC\n>P\nG\n");
}

TEST_F(AnnoprepTablesTest, ExonsBeyondTheChromosomeKeepTheBasesThatExist) {
  run(exons_of({{"T", '+', 3, 9}, {"T", '+', 0, 1}, {"U", '+', 2, 3}}), false, "ACGT");
  EXPECT_EQ(slurp(path("refMrna.fa")), ">T\nGTA\n>U\nCG\n");
  EXPECT_NE(warnings.str().find("'T'"), std::string::npos);
  EXPECT_EQ(warnings.str().find("'U'"), std::string::npos);
}

TEST_F(AnnoprepTablesTest, SortKeepsEmptySequencesAndEqualIdsInFileOrder) {
  spit(path("refMrna.fa"), ">B\nGG\n>A\n\n>C\nT\n>A\nCC\n>A b\nAA\n");
  refMrna_sort(path("refMrna.fa"), path("refMrna_sort.fa"));
  EXPECT_EQ(slurp(path("refMrna_sort.fa")), ">A\n\n>A\nCC\n>A b\nAA\n>B\nGG\n>C\nT\n");
}

}  // namespace
}  // namespace quilm::annoprep
