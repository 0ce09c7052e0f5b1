#include "tools/annoprep/genome_reading.hpp"

#include "support/test_support.hpp"

namespace quilm::annoprep {
namespace {

using test::slurp;
using test::spit;

class AnnoprepGenomeTest : public test::TempDirTest {
 protected:
  std::string info_of(const std::string& fasta) {
    spit(path("g.fa"), fasta);
    fasta_info(path("g.fa"), path("genome_info"));
    return slurp(path("genome_info"));
  }
  // "name=sequence;" for every record.
  std::string records_of(const std::string& fasta) {
    spit(path("g.fa"), fasta);
    InputFile in(path("g.fa"), 5);  // a tiny block crosses every boundary
    std::string text, name, sequence;
    if (!skip_to_first_record(in)) return text;
    bool more = true;
    while (more) {
      more = fasta_read(in, name, sequence);
      text += name + "=" + sequence + ";";
    }
    return text;
  }
};

TEST_F(AnnoprepGenomeTest, SizeFileKeepsNamesAndQuirks) {
  EXPECT_EQ(info_of(""), "0\n");
  EXPECT_EQ(info_of(">chr1 a description\nACGT\nAC\n>chr2\r\nacg\r\n"), "chr1\t6\nchr2\t3\n");
  // A record without sequence gets no length of its own.
  EXPECT_EQ(info_of(">a\n>b\nACGT\n"), "a\tb\t4\n");
  EXPECT_EQ(info_of(">a\nAC\n>b\n"), "a\t2\nb\t0\n");
  EXPECT_EQ(info_of("junk\n>a\nAC\n"), "4\na\t2\n");
}

// Blanks and tabs in sequence lines are layout, like line ends: the lengths
// and bases are those of the clean file, and the blanks are counted.
TEST_F(AnnoprepGenomeTest, BlanksInSequenceLinesAreSkippedAndCounted) {
  spit(path("g.fa"), ">chr1 a b\nAC GT \nAC\t\r\n>chr2\n ACG\n");
  const GenomeSizes sizes = fasta_info(path("g.fa"), path("genome_info"));
  EXPECT_EQ(slurp(path("genome_info")), "chr1\t6\nchr2\t3\n");
  EXPECT_EQ(sizes.lengths, (std::vector<long>{6, 3}));
  EXPECT_EQ(sizes.blanks, 4);
  EXPECT_EQ(records_of(">chr1 a b\nAC GT \nAC\t\r\n>chr2\n ACG\n"), "chr1=ACGTAC;chr2=ACG;");
  EXPECT_EQ(fasta_info(path("g.fa"), path("genome_info")).blanks, 4);
  spit(path("g.fa"), ">chr1\nACGT\n");
  EXPECT_EQ(fasta_info(path("g.fa"), path("genome_info")).blanks, 0);
}

TEST_F(AnnoprepGenomeTest, RecordsReadTheSameAtAnyLineWidth) {
  EXPECT_EQ(records_of(">chr1 desc\nacgTN\nAC\n>chr2\nGG"), "chr1=acgTNAC;chr2=GG;");
  EXPECT_EQ(records_of(">chr1 desc\r\nacg\r\nTNA\r\nC\r\n>chr2\r\nG\r\nG\r\n"),
            "chr1=acgTNAC;chr2=GG;");
  EXPECT_EQ(records_of("skipped\n>x>y z\nA\n>\nC"), "x=A;=C;");
  EXPECT_EQ(records_of("no header\n"), "");
}

}  // namespace
}  // namespace quilm::annoprep
