#include "common/errors.hpp"
#include "common/numbered_reads.hpp"
#include "common/run_config.hpp"
#include "common/seed_code.hpp"
#include "common/text_scanner.hpp"
#include "support/test_support.hpp"

namespace quilm {
namespace {

class RecordsTest : public test::TempDirTest {};

TEST_F(RecordsTest, RunConfigRoundTripsBothForms) {
  RunConfig c;
  c.work_folder = path("a folder with blanks");
  c.ref_path = "ref.fa";
  c.output_path = "out";
  c.segment_count = 3;
  c.read_count = 10;
  c.export_all_toggle = 1;
  write_run_config(path("config.txt"), c);
  EXPECT_EQ(test::slurp(path("config.txt")),
            c.work_folder + "\nref.fa\nout\n3 10 100 2 0 14 1 1 0 1 1 1\n");
  RunConfig back = read_run_config(path("config.txt"), false);
  EXPECT_EQ(back.work_folder, c.work_folder);
  EXPECT_EQ(back.read_count, 10);
  EXPECT_THROW(read_run_config(path("config.txt"), true), InputError);

  c.has_splice_line = true;
  write_run_config(path("config.txt"), c);
  append_log_line(path("config.txt"), "The Time of x : 1.0 sec\n");
  back = read_run_config(path("config.txt"), true);
  EXPECT_EQ(back.max_gap_distance, 50000);
  EXPECT_EQ(back.splice_seed_length, 14);
}

TEST_F(RecordsTest, NumberedReadsSkipBlanksAndRejectGarbage) {
  test::spit(path("r.fastq"), "1\tACGT\n2\tNNNN\n\n3\tacgt");
  NumberedReadReader reader(path("r.fastq"));
  NumberedRead r;
  std::vector<std::string> seqs;
  while (reader.next(r)) seqs.push_back(std::to_string(r.number) + ":" + r.sequence);
  EXPECT_EQ(seqs, (std::vector<std::string>{"1:ACGT", "2:NNNN", "3:acgt"}));

  test::spit(path("bad.fastq"), "1\tACGT\nx\tAC\n");
  NumberedReadReader bad(path("bad.fastq"));
  ASSERT_TRUE(bad.next(r));
  EXPECT_THROW(bad.next(r), InputError);
}

TEST_F(RecordsTest, ScannerFollowsScanfRules) {
  test::spit(path("s.txt"), "  -12\tword\n\nF\t7 2.5");
  InputFile in(path("s.txt"));
  TextScanner scan(in);
  int v = 0;
  std::string w;
  char c = 0;
  double d = 0;
  ASSERT_EQ(scan.read_int(v), Scan::kOk);
  EXPECT_EQ(v, -12);
  ASSERT_EQ(scan.read_word(w), Scan::kOk);
  EXPECT_EQ(w, "word");
  ASSERT_TRUE(scan.skip_space());
  ASSERT_EQ(scan.read_char(c), Scan::kOk);
  EXPECT_EQ(c, 'F');
  ASSERT_EQ(scan.read_int(v), Scan::kOk);
  ASSERT_EQ(scan.read_double(d), Scan::kOk);
  EXPECT_EQ(d, 2.5);
  EXPECT_EQ(scan.read_int(v), Scan::kEof);
}

TEST(SeedCode, CodesAndReverseComplement) {
  EXPECT_EQ(base_code('A'), 0);
  EXPECT_EQ(base_code('T'), 1);
  EXPECT_EQ(base_code('C'), 2);
  EXPECT_EQ(base_code('G'), 3);
  EXPECT_EQ(base_code('N'), -1);
  EXPECT_EQ(base_code('a'), -1);
  std::string rc;
  reverse_complement("AACGTNa", rc);
  EXPECT_EQ(rc, "aNACGTT");
}

}  // namespace
}  // namespace quilm
