// Whole-file split-read mapping on small genomes with introns placed by hand:
// both strands and both signal families, masked bases, unusable reads, long
// reads, and the reduced index writing the same bytes as the full one.
#include "splice/splicing_mapping.hpp"

#include <random>
#include <string>
#include <vector>

#include "common/errors.hpp"
#include "splice_test_data.hpp"
#include "support/test_support.hpp"

namespace quilm {
namespace {

class SplicingMappingTest : public test::TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    genome = test::random_bases(4000, 7);
    // A GT-AG intron at 1000 and, on the other strand, one at 2500 (CT-AC
    // as it reads on this strand).
    test::place_intron(genome, 1000, 500, "GT", "AG");
    test::place_intron(genome, 2500, 300, "CT", "AC");
    settings.seed_length = 10;
  }

  std::string run(const std::vector<std::string>& reads, const std::string& segment_text) {
    std::string text;
    for (std::size_t i = 0; i < reads.size(); ++i)
      text += std::to_string(i + 1) + "\t" + reads[i] + "\n";
    test::spit(path("splice0.fastq"), text);
    test::spit(path("1.txt"), segment_text);
    splicing_mapping(path("1.txt"), path("splice0.fastq"), path("1.r"), settings);
    return test::slurp(path("1.r"));
  }

  static std::string signals(std::size_t length, std::size_t at, char digit = '3') {
    std::string s(length, '0');
    s[at] = digit;
    return s;
  }

  std::string genome;
  SpliceSettings settings;
};

TEST_F(SplicingMappingTest, ReadsSpanningIntronsOnBothStrands) {
  const std::string plus = test::junction_read(genome, 1000, 500, 25, 25);
  const std::string minus = test::junction_read(genome, 2500, 300, 30, 20);
  std::string all_n = plus;
  for (std::size_t i = 5; i < all_n.size(); i += 10) all_n[i] = 'N';
  const std::vector<std::string> reads{plus,  test::reverse_complement_of(plus),
                                       minus, test::reverse_complement_of(minus),
                                       all_n, plus.substr(0, 9)};
  // Records of reverse-complement placements keep the read as read, but the
  // signals, the split and the positions are those of its reverse complement.
  // The minus-strand pair also has a GC-AG cut with 2 errors, so each family
  // writes its own record, in pass order, before the stop rule is applied.
  const std::string plus_record = "\t" + signals(50, 24) + "\nF\t24\t0\t975\t1475\n";
  const std::string minus_f = "\t" + signals(50, 31, '2') + "\nF\t31\t2\t2470\t2770\n";
  const std::string minus_r = "\t" + signals(50, 29) + "\nR\t29\t0\t2470\t2770\n";
  const std::string want = "1\t" + plus + plus_record + "2\t" + reads[1] + plus_record + "3\t" +
                           minus + minus_f + "3\t" + minus + minus_r +  //
                           "4\t" + reads[3] + minus_r + "4\t" + reads[3] + minus_f;
  EXPECT_EQ(run(reads, ">seg\n" + genome.substr(0, 2000) + "\n" + genome.substr(2000) + "\n"),
            want);
}

TEST_F(SplicingMappingTest, MaskedBasesMatchNothing) {
  std::string masked = genome;
  masked[1000] = 'g';
  masked[1001] = 't';
  const std::string read = test::junction_read(genome, 1000, 500, 25, 25);
  settings.masked_toggle = 1;
  EXPECT_EQ(run({read}, masked), "");
  settings.masked_toggle = 0;
  EXPECT_EQ(run({read}, masked), "1\t" + read + "\t" + signals(50, 24) + "\nF\t24\t0\t975\t1475\n");
}

TEST_F(SplicingMappingTest, MismatchesAndGapBounds) {
  std::string read = test::junction_read(genome, 1000, 500, 25, 25);
  read[40] = read[40] == 'A' ? 'C' : 'A';
  EXPECT_EQ(run({read}, genome), "1\t" + read + "\t" + signals(50, 24) + "\nF\t24\t1\t975\t1475\n");
  settings.max_gap_distance = 500;  // the intron is exactly 500 bases long
  EXPECT_NE(run({read}, genome), "");
  settings.max_gap_distance = 499;
  EXPECT_EQ(run({read}, genome), "");
  settings.max_gap_distance = 50000;
  settings.min_gap_distance = 501;
  EXPECT_EQ(run({read}, genome), "");
}

TEST_F(SplicingMappingTest, LongReadsWithManySeeds) {
  // 10,000 bases: 1,000 seeds, far beyond what 8-bit hit counts can hold,
  // and far beyond max_read_length.
  std::string big = test::random_bases(30000, 9);
  test::place_intron(big, 10000, 4000, "GT", "AG");
  const std::string read = test::junction_read(big, 10000, 4000, 5000, 5000);
  settings.max_read_length = 100;
  const std::string got = run({read}, big);
  EXPECT_EQ(got, "1\t" + read + "\t" + signals(10000, 4999) + "\nF\t4999\t0\t5000\t9000\n");
}

TEST_F(SplicingMappingTest, ReducedIndexWritesTheSameBytes) {
  // Many introns of all six signal kinds, duplicated stretches for reads
  // with several placements, and reads with mismatches of varied length.
  std::string g = test::random_bases(30000, 21);
  g.replace(20000, 3000, g.substr(2000, 3000));
  const char* kinds[][2] = {{"GT", "AG"}, {"GC", "AG"}, {"AT", "AC"},
                            {"CT", "AC"}, {"CT", "GC"}, {"GT", "AT"}};
  std::mt19937 rng(5);
  std::vector<std::string> reads;
  for (int i = 0; i < 36; ++i) {
    const std::size_t at = 600 + 800 * static_cast<std::size_t>(i);
    const std::size_t length = 60 + rng() % 600;
    if (at + length + 200 > g.size()) break;
    test::place_intron(g, at, length, kinds[i % 6][0], kinds[i % 6][1]);
    for (int r = 0; r < 8; ++r) {
      const std::size_t left = 12 + rng() % 70;
      std::string read = test::junction_read(g, at, length, left, 20 + rng() % 70);
      for (unsigned e = rng() % 3; e > 0; --e) read[rng() % read.size()] = "ACGT"[rng() % 4];
      reads.push_back(r % 2 ? test::reverse_complement_of(read) : read);
    }
  }
  std::string text;
  for (std::size_t i = 0; i < reads.size(); ++i)
    text += std::to_string(i + 1) + "\t" + reads[i] + "\n";
  test::spit(path("splice0.fastq"), text);
  test::spit(path("1.txt"), g);
  for (int c : {10, 8, 6}) {
    settings.seed_length = c;
    splicing_mapping(path("1.txt"), path("splice0.fastq"), path("full.r"), settings);
    splicing_mapping_red(path("1.txt"), path("splice0.fastq"), path("red.r"), settings);
    const std::string full = test::slurp(path("full.r"));
    EXPECT_GT(full.size(), 1000u) << c;
    EXPECT_EQ(full, test::slurp(path("red.r"))) << c;
  }
}

TEST_F(SplicingMappingTest, MalformedRecordKeepsTheRecordsOfTheReadsBeforeIt) {
  // Reads are looked up in batches: the reads before a malformed record are
  // still mapped and written, whatever their place in a batch.
  const std::string plus = test::junction_read(genome, 1000, 500, 25, 25);
  const std::vector<std::string> reads(45, plus);
  const std::string want = run(reads, genome);
  ASSERT_FALSE(want.empty());
  std::string text;
  for (std::size_t i = 0; i < reads.size(); ++i)
    text += std::to_string(i + 1) + "\t" + reads[i] + "\n";
  test::spit(path("splice0.fastq"), text + "x\n46\t" + plus + "\n");
  EXPECT_THROW(splicing_mapping(path("1.txt"), path("splice0.fastq"), path("bad.r"), settings),
               InputError);
  EXPECT_EQ(test::slurp(path("bad.r")), want);
}

TEST_F(SplicingMappingTest, UnusableInputIsReported) {
  test::spit(path("1.txt"), genome);
  test::spit(path("reads"), "1\tACGT\nx\n");
  EXPECT_THROW(splicing_mapping(path("1.txt"), path("none"), path("1.r"), settings), IoError);
  EXPECT_THROW(splicing_mapping(path("none"), path("reads"), path("1.r"), settings), IoError);
  EXPECT_THROW(splicing_mapping(path("1.txt"), path("reads"), path("1.r"), settings), InputError);
  EXPECT_THROW(splicing_mapping(path("1.txt"), path("reads"), path("no/such/1.r"), settings),
               IoError);
  settings.seed_length = 15;
  EXPECT_THROW(splicing_mapping(path("1.txt"), path("reads"), path("1.r"), settings), UsageError);
}

}  // namespace
}  // namespace quilm
