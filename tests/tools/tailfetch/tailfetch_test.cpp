#include "tools/tailfetch/tailfetch.hpp"

#include <algorithm>

#include "common/errors.hpp"
#include "common/output_file.hpp"
#include "support/test_support.hpp"

namespace quilm::tailfetch {
namespace {

using test::slurp;
using test::spit;

class TailfetchTest : public test::TempDirTest {
 protected:
  std::string pieces(const std::string& sequence, const std::string& quality) {
    OutputFile out(path("pieces"));
    write_read_pieces(out, 7, sequence, quality);
    out.close();
    return slurp(path("pieces"));
  }
  void run(long long batch_reads) {
    run_tailfetch({path("reads.fq"), path("hits"), path("out.fq")}, batch_reads);
  }
};

// The bases of a read: its number, then letters that tell positions apart.
std::string bases(int length) {
  std::string s;
  for (int i = 0; i < length; ++i) s.push_back("ACGT"[(i / 7 + i) % 4]);
  return s;
}

std::string fastq(int read, int length, const std::string& separator = "+") {
  return "@r" + std::to_string(read) + " x\n" + bases(length) + "\n" + separator + "\n" +
         std::string(static_cast<std::size_t>(length), 'I') + "\n";
}

std::string hit(int read) {
  return std::to_string(read) + "\tACGT\nF\tchr1\t0\t" + std::to_string(read * 10) + "\n";
}

std::string record(int read, int piece, const std::string& sequence, const std::string& quality) {
  return "@" + std::to_string(read) + "_" + std::to_string(piece) + "\n" + sequence + "\n+\n" +
         quality + "\n";
}

TEST_F(TailfetchTest, PiecesOfAtMost75Bases) {
  const std::string s = bases(150);
  const std::string f75(75, 'F');
  EXPECT_EQ(pieces(s.substr(0, 41), std::string(41, 'I')), "");
  EXPECT_EQ(pieces(s.substr(0, 42), std::string(42, 'I')),
            record(7, 1, s.substr(0, 42), std::string(42, 'I')));
  EXPECT_EQ(pieces(s.substr(0, 75), std::string(75, 'I')),
            record(7, 1, s.substr(0, 75), std::string(75, 'I')));
  EXPECT_EQ(pieces(s.substr(0, 76), std::string(76, 'I')), record(7, 1, s.substr(0, 75), f75));
  EXPECT_EQ(pieces(s.substr(0, 100), std::string(100, 'I')), record(7, 1, s.substr(0, 75), f75));
  EXPECT_EQ(pieces(s.substr(0, 116), std::string(116, 'I')), record(7, 1, s.substr(0, 75), f75));
  EXPECT_EQ(pieces(s.substr(0, 120), std::string(120, 'I')),
            record(7, 1, s.substr(0, 75), f75) + record(7, 2, s.substr(75, 45), f75.substr(0, 45)));
  EXPECT_EQ(pieces(s, std::string(150, 'I')),
            record(7, 1, s.substr(0, 75), f75) + record(7, 2, s.substr(75), f75));
  // No length limit: 1,200 bases make 16 pieces.
  const std::string long_pieces = pieces(std::string(1200, 'A'), std::string(1200, 'I'));
  EXPECT_EQ(std::count(long_pieces.begin(), long_pieces.end(), '@'), 16);
  EXPECT_NE(long_pieces.find("@7_16\n"), std::string::npos);
}

TEST_F(TailfetchTest, BatchesCarryLaterResultRecords) {
  // Reads 1..7 in batches of 3; mapped: 2 (twice), 5, 7, and 9 and 12 beyond the reads.
  spit(path("reads.fq"), fastq(1, 50) + fastq(2, 50) + fastq(3, 100) + fastq(4, 50) + fastq(5, 50) +
                             fastq(6, 42, "+r6 x") + "\n" + fastq(7, 50));
  spit(path("hits"), hit(12) + hit(2) + hit(5) + hit(2) + hit(9) + hit(7));
  run(3);
  EXPECT_EQ(slurp(path("out.fq")), record(1, 1, bases(50), std::string(50, 'I')) +
                                       record(3, 1, bases(75), std::string(75, 'F')) +
                                       record(4, 1, bases(50), std::string(50, 'I')) +
                                       record(6, 1, bases(42), std::string(42, 'I')));
  // Batch 0 carried 4.., batch 1 carried 7.., batch 2 (the last) carried 10..
  EXPECT_EQ(slurp(path("hits_tmp2")), hit(12) + hit(9) + hit(7));
  EXPECT_EQ(slurp(path("hits_tmp1")), hit(12));
}

TEST_F(TailfetchTest, ReadCountOfWholeBatchesStillRunsAnEmptyLastBatch) {
  spit(path("reads.fq"), fastq(1, 50) + fastq(2, 50) + fastq(3, 50) + fastq(4, 50));
  spit(path("hits"), hit(4) + hit(1) + hit(5) + hit(7));
  run(2);
  EXPECT_EQ(slurp(path("out.fq")), record(2, 1, bases(50), std::string(50, 'I')) +
                                       record(3, 1, bases(50), std::string(50, 'I')));
  // Batch 1 carried 5.., batch 2 read no reads and carried 7..
  EXPECT_EQ(slurp(path("hits_tmp2")), hit(5) + hit(7));
  EXPECT_EQ(slurp(path("hits_tmp1")), hit(7));
}

TEST_F(TailfetchTest, SingleBatchLeavesBothCarriedFilesOfThisRun) {
  spit(path("hits_tmp2"), "stale\n");
  spit(path("reads.fq"), fastq(1, 50));
  spit(path("hits"), hit(4194305) + hit(4194304));
  run(kBatchReads);
  EXPECT_EQ(slurp(path("out.fq")), record(1, 1, bases(50), std::string(50, 'I')));
  EXPECT_EQ(slurp(path("hits_tmp1")), hit(4194305));
  EXPECT_EQ(slurp(path("hits_tmp2")), "");
}

TEST_F(TailfetchTest, CutShortOrMalformedFastq) {
  spit(path("hits"), "");
  spit(path("reads.fq"), fastq(1, 50) + "@r2\nACGT\n+\n");
  run(3);
  EXPECT_EQ(slurp(path("out.fq")), record(1, 1, bases(50), std::string(50, 'I')));

  spit(path("reads.fq"), fastq(1, 50) + "@r2\nACGT\n-\nIIII\n");
  EXPECT_THROW(run(3), InputError);
  spit(path("reads.fq"), fastq(1, 50) + "@r2\n\n+\nIIII\n" + fastq(3, 50));
  EXPECT_THROW(run(3), InputError);
}

TEST_F(TailfetchTest, ReadsOfLengthZeroKeepTheNumbering) {
  spit(path("hits"), "");
  spit(path("reads.fq"), fastq(1, 50) + "@r2\n\n+r2 x\n\n" + fastq(3, 50) + "@r4\n\n+\n");
  run(2);
  EXPECT_EQ(slurp(path("out.fq")), record(1, 1, bases(50), std::string(50, 'I')) +
                                       record(3, 1, bases(50), std::string(50, 'I')));
}

// A run takes read bases in upper case: the pieces of a lower-case file are
// those of its upper-case twin.
TEST_F(TailfetchTest, LowerCaseReadsGiveThePiecesOfTheirUpperCaseTwin) {
  spit(path("hits"), hit(2));
  std::string lower = fastq(1, 100) + fastq(2, 50) + fastq(3, 60);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) {
    return c == 'A' || c == 'C' || c == 'G' || c == 'T' ? static_cast<char>(c - 'A' + 'a') : c;
  });
  spit(path("reads.fq"), fastq(1, 100) + fastq(2, 50) + fastq(3, 60));
  run(2);
  const std::string upper = slurp(path("out.fq"));
  spit(path("reads.fq"), lower);
  run(2);
  EXPECT_EQ(slurp(path("out.fq")), upper);
  EXPECT_NE(upper.find(bases(60)), std::string::npos);
}

}  // namespace
}  // namespace quilm::tailfetch
