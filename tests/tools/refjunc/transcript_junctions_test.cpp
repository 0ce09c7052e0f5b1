#include "common/errors.hpp"
#include "common/input_file.hpp"
#include "support/test_support.hpp"
#include "tools/refjunc/genome_scan.hpp"
#include "tools/refjunc/refflat_splice.hpp"
#include "tools/refjunc/transcript_model.hpp"

namespace quilm::refjunc {
namespace {

using test::slurp;
using test::spit;

class TranscriptJunctionsTest : public test::TempDirTest {};

// A mapping output record of a read mapped onto a transcript.
std::string hit(int read, int length, const std::string& transcript, int errors, int position) {
  return std::to_string(read) + "\t" + std::string(length, 'A') + "\nR\t" + transcript + "\t" +
         std::to_string(errors) + "\t" + std::to_string(position) + "\n";
}

TEST_F(TranscriptJunctionsTest, ExonTableKeepsOrderStrandAndLastDuplicate) {
  spit(path("refFlat.txt"),
       "chr1\tT2\t-\t2\t500,599\t100,149\t\n"
       "chr2\tT1\t+\t1\t1,10\t\n"
       "chr9\tT3\t.\t0\t\n"
       "chr3\tT1\t+\t2\t1,10\t21,40\t\n");
  TranscriptTable table = stackAS(path("refFlat.txt"));
  ASSERT_EQ(table.size(), 3u);
  const TranscriptModel* t1 = binary_sort(table, "T1");
  ASSERT_NE(t1, nullptr);
  EXPECT_EQ(t1->chromosome, "chr3");
  EXPECT_EQ(t1->cumulative, (std::vector<long long>{10, 30}));
  const TranscriptModel* t2 = binary_sort(table, "T2");
  ASSERT_NE(t2, nullptr);
  EXPECT_EQ(t2->strand, 'R');
  EXPECT_EQ(t2->exon_starts, (std::vector<long long>{500, 100}));
  EXPECT_EQ(binary_sort(table, "T3")->strand, '.');
  EXPECT_EQ(binary_sort(table, "T4"), nullptr);

  spit(path("short.txt"), "chr1\tT1\t+\t3\t1,10\t21,40\t\nchr1\tT2\t+\t1\t1,5\t\n");
  EXPECT_THROW(stackAS(path("short.txt")), InputError);
  // Only a transcript without a strand may leave out all its exon fields.
  spit(path("bare.txt"), "chr1\tT1\t?\t2\t\nchr1\tT2\t-\t2\t\n");
  EXPECT_THROW(stackAS(path("bare.txt")), InputError);
  spit(path("bare.txt"), "chr1\tT1\t?\t2\t\nchr1\tT2\t-\t1\t3,9\t\n");
  EXPECT_TRUE(binary_sort(stackAS(path("bare.txt")), "T1")->exon_starts.empty());
}

TEST_F(TranscriptJunctionsTest, ExonsWithoutFixedLimits) {
  std::string line = "chr1\t" + std::string(40, 'X') + "\t+\t1500\t";
  for (int k = 0; k < 1500; ++k)
    line += std::to_string(k * 10 + 1) + "," + std::to_string(k * 10 + 5) + "\t";
  spit(path("refFlat.txt"), line + "\n");
  TranscriptTable table = stackAS(path("refFlat.txt"));
  const TranscriptModel* model = binary_sort(table, std::string(40, 'X'));
  ASSERT_NE(model, nullptr);
  EXPECT_EQ(model->cumulative.back(), 7500);
  // Transcript bases 7493..7498 cross the last junction, after base 7495.
  auto spans = spanned_junctions(*model, 7492, 6);
  ASSERT_EQ(spans.size(), 1u);
  EXPECT_EQ(spans[0].exon, 1498u);
  EXPECT_EQ(spans[0].bases_before, 3);
}

TEST_F(TranscriptJunctionsTest, SplicedReadsFromTranscriptHits) {
  spit(path("refFlat.txt"),
       "chr1\tT1\t+\t3\t1,100\t700,799\t900,999\t\n"
       "chr1\tT2\t-\t2\t2000,2049\t2500,2599\t\n");
  spit(path("hits"), hit(1, 10, "T1", 0, 95) +       // across exon 1 / 2
                         hit(2, 10, "T1", 0, 10) +   // inside exon 1
                         hit(3, 150, "T1", 2, 90) +  // across all three exons
                         hit(4, 20, "T1", 0, 290) +  // past the transcript's end
                         hit(5, 10, "T2", 1, 45) + hit(5, 10, "T9", 0, 3) + hit(5, 10, "T9", 0, 4) +
                         hit(6, 10, "T1", 0, 200));  // starts at exon 3's first base
  refFlattosplice(stackAS(path("refFlat.txt")), path("hits"), path("refFlat-splice"));
  const std::string a10(10, 'A');
  const std::string a150(150, 'A');
  EXPECT_EQ(slurp(path("refFlat-splice")),
            "1\t" + a10 + "\nF\tchr1\t5\t0\t100\t700\t1\n" +  //
                "3\t" + a150 + "\nF\tchr1\t10\t2\t100\t700\t1\n" + "3\t" + a150 +
                "\nF\tchr1\t110\t2\t799\t900\t1\n" + "5\t" + a10 +
                "\nR\tchr1\t5\t1\t2049\t2500\t3\n");
}

TEST_F(TranscriptJunctionsTest, NegativeReadNumberIsRejected) {
  spit(path("hits"), hit(-2, 10, "T1", 0, 95));
  EXPECT_THROW(count_read_hits(path("hits")), InputError);
}

TEST_F(TranscriptJunctionsTest, ReadNumberBeyondTheRunIsRejected) {
  spit(path("hits"), hit(1, 10, "T1", 0, 95) + "4000000000\tAAAA\nR\tT1\t0\t95\n");
  EXPECT_THROW(count_read_hits(path("hits")), InputError);
}

TEST_F(TranscriptJunctionsTest, HitCountsFollowTheRecordsNotTheLargestReadNumber) {
  // A read numbered two billion must not size a table by its number.
  spit(path("hits"), hit(2000000000, 10, "T1", 0, 95) + hit(7, 10, "T1", 0, 95) +
                         hit(2000000000, 10, "T1", 0, 95));
  const std::vector<int> numbers = count_read_hits(path("hits"));
  EXPECT_EQ(numbers.size(), 3u);
  EXPECT_EQ(hits_of_read(numbers, 2000000000), 2);
  EXPECT_EQ(hits_of_read(numbers, 7), 1);
  EXPECT_EQ(hits_of_read(numbers, 8), 0);
}

TEST_F(TranscriptJunctionsTest, ExonCoordinateOutOfRangeIsRejected) {
  spit(path("refFlat.txt"), "chr1\tT1\t+\t1\t-9223372036854775807,9223372036854775807\t\n");
  EXPECT_THROW(stackAS(path("refFlat.txt")), InputError);
}

TEST_F(TranscriptJunctionsTest, HitFarPastTheTranscriptSpansNothing) {
  spit(path("refFlat.txt"), "chr1\tT1\t+\t2\t1,100\t700,799\t\n");
  const TranscriptTable table = stackAS(path("refFlat.txt"));
  EXPECT_TRUE(spanned_junctions(table[0], 9223372036854775807LL, 10).empty());
  EXPECT_TRUE(spanned_junctions(table[0], -9223372036854775807LL, 10).empty());
  EXPECT_EQ(spanned_junctions(table[0], 95, 10).size(), 1u);
}

TEST_F(TranscriptJunctionsTest, ChromosomeNamesAndLengths) {
  spit(path("genome.fa"),
       "junk before\n>chr1 primary assembly\r\nACGT \r\nA\tC\r\n>chr2\tdescribed\n\n>  chr3 "
       "x\nAAA>" +
           std::string(40, 'n'));
  InputFile genome(path("genome.fa"));
  skip_to_first_header(genome);
  std::string name;
  long long length = 0;
  long long blanks = 0;
  // Blanks and tabs in sequence lines count as line breaks do: not at all.
  EXPECT_TRUE(chrname_size(genome, name, length, blanks));
  EXPECT_EQ(name, "chr1");
  EXPECT_EQ(length, 6);
  EXPECT_EQ(blanks, 2);
  EXPECT_TRUE(chrname_size(genome, name, length, blanks));
  EXPECT_EQ(name, "chr2");
  EXPECT_EQ(length, 0);
  EXPECT_TRUE(chrname_size(genome, name, length, blanks));
  EXPECT_EQ(name, "chr3");
  EXPECT_EQ(length, 3);
  EXPECT_FALSE(chrname_size(genome, name, length, blanks));
  EXPECT_EQ(name, std::string(40, 'n'));
  EXPECT_EQ(length, 0);
  EXPECT_EQ(blanks, 2);

  spit(path("plain.txt"), "ACGT\n");
  InputFile plain(path("plain.txt"));
  EXPECT_THROW(skip_to_first_header(plain), InputError);
}

}  // namespace
}  // namespace quilm::refjunc
