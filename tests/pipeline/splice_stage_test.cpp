#include "pipeline/splice_stage.hpp"

#include <unistd.h>

#include "common/errors.hpp"
#include "pipeline/final_merge.hpp"
#include "support/test_support.hpp"

namespace quilm {
namespace {

using test::slurp;
using test::spit;

// Runs in its own folder: the combination appends to ./config.txt.
class SpliceStage : public test::TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    ASSERT_NE(getcwd(old_cwd_, sizeof old_cwd_), nullptr);
    ASSERT_EQ(chdir(dir().c_str()), 0);
  }
  void TearDown() override {
    ASSERT_EQ(chdir(old_cwd_), 0);
    TempDirTest::TearDown();
  }

 private:
  char old_cwd_[4096];
};

TEST_F(SpliceStage, ReadsWithTwoOrMoreErrorsOrNoHitEnterTheSpliceStage) {
  spit(path("0.fastq"), "1\tAAAA\n2\tCCCC\n3\tGGGG\n4\tTTTT\n");
  // Read 1: 1 error; read 2: 2 errors; read 3: none; read 4: last record counts.
  spit(path("quilm2.tmp"),
       "1\tAAAA\nF\tc\t1\t5\n2\tCCCC\nR\tc\t2\t9\n"
       "4\tTTTT\nF\tc\t0\t1\n4\tTTTT\nF\tc\t2\t7\n");
  splice_chang_fastqfile(dir(), 4);
  EXPECT_EQ(slurp(path("splice0.fastq")), "2\tCCCC\n3\tGGGG\n4\tTTTT\n");
  spit(path("quilm2.tmp"), "7\tAAAA\nF\tc\t1\t5\n");
  EXPECT_THROW(splice_chang_fastqfile(dir(), 4), InputError);
}

TEST_F(SpliceStage, CombinationKeepsBestSplitHitsAndConvertsPositions) {
  spit(path("fast_index.txt"), "1 0 0 1 chrA\n1 100 0 2 chrB\n1 300 200 2 chrB\n");
  spit(path("splice0.fastq"), "2\tACGT\n3\tGGGG\n5\tTTTT\n6\tCCCC\n");
  spit(path("1.r"),
       "2\tACGT\t0120\nF\t1\t1\t10\t50\n"    // read 2: 1 error, both parts on chrA
       "2\tACGT\t0120\nR\t2\t0\t20\t60\n"    // read 2: 0 errors, written
       "2\tACGT\t0120\nF\t2\t0\t120\t310\n"  // read 2: another best hit on chrB
       "3\tGGGG\t0000\nF\t2\t1\t90\t150\n"   // read 3: parts on chrA and chrB
       "5\tTTTT\t0000\nF\t0\t0\t1\t2\n"      // split 0: ignored
       "6\tCCCC\t0000\nF\t1\t0\t-1\t2\n");   // negative placement: ignored
  SpliceCombineCounts counts;
  RunConfig run;
  run.read_count = 6;
  run.segment_count = 1;
  run.work_folder = dir();
  run.splice_seed_length = 14;
  EXPECT_EQ(splice_result_combine(run, path("splice.tmp"), path("splice0.fastq"), &counts), 1);
  EXPECT_EQ(slurp(path("splice.tmp")),
            "2\tACGT\t0120\nR\tchrA\t2\t0\t20\t60\n2\tACGT\t0120\nF\tchrB\t2\t0\t20\t210\n");
  EXPECT_EQ(counts.match_records, 3);
  EXPECT_EQ(counts.multi_matched, 1);
  EXPECT_EQ(counts.matched, 2);
  EXPECT_EQ(slurp(path("14.fastq")), "5\tTTTT\n6\tCCCC\n");
  EXPECT_EQ(slurp(path("config.txt")),
            "The 14 seed splice mapping result,match read numeber: 3, multi_match number: 1,"
            "next_match number: 2,match number:2\n");
}

// Final merge: hand-made merged files, then the six outputs.
class FinalMerge : public test::TempDirTest {
 protected:
  std::string out(const char* suffix) { return slurp(path(std::string("run") + suffix)); }
  void merge(int reads) { compare_quilm2splice(path("run"), dir(), reads); }
};

TEST_F(FinalMerge, LowestErrorsWinAndSpliceHitsNeedStrictlyFewer) {
  const std::string r100(100, 'A');
  spit(path("quilm2.tmp"),
       "1\t" + r100 + "\nF\tc1\t2\t10\n" +      // read 1: beaten by a 1-error splice hit
           "2\t" + r100 + "\nF\tc1\t1\t20\n" +  // read 2: tie with a splice hit, mapping stays
           "3\t" + r100 + "\nF\tc1\t0\t30\n3\t" + r100 + "\nR\tc2\t0\t40\n" +  // two best: mutil
           "4\t" + r100 + "\nF\tc1\t3\t50\n4\t" + r100 +
           "\nF\tc1\t1\t60\n");  // worse first: dropped
  spit(path("splice.tmp"),
       "1\t" + r100 + "\t0\nF\tc1\t40\t1\t5\t500\n" + "2\t" + r100 + "\t0\nR\tc1\t40\t1\t6\t600\n");
  merge(4);
  EXPECT_EQ(out("-quilm2high"), "2\t" + r100 + "\nF\tc1\t1\t20\n4\t" + r100 + "\nF\tc1\t1\t60\n");
  EXPECT_EQ(out("-quilm2mutil"), "3\t" + r100 + "\nF\tc1\t0\t30\n3\t" + r100 + "\nR\tc2\t0\t40\n");
  EXPECT_EQ(out("-quilm2low"), "");
  EXPECT_EQ(out("-splice-high"), "1\t" + r100 + "\nF\tc1\t40\t1\t5\t500\n");
  EXPECT_EQ(out("-splice-low"), "");
  EXPECT_EQ(out("-splice-mutil"), "");
  EXPECT_EQ(splice_tongji(path("run-splice-high")), 1);
}

TEST_F(FinalMerge, QualityThresholdFollowsReadLength) {
  const std::string r36(36, 'A'), r20(20, 'C');
  // 0.05 * 36 + 1.5 = 3.3: 3 errors high, 4 low; 0.05 * 20 + 1.5 = 2.5: 3 errors low.
  spit(path("quilm2.tmp"), "1\t" + r36 + "\nF\tc\t3\t1\n2\t" + r36 + "\nF\tc\t4\t2\n" + "3\t" +
                               r20 + "\nF\tc\t2\t3\n4\t" + r20 + "\nF\tc\t3\t4\n");
  spit(path("splice.tmp"), "");
  merge(4);
  EXPECT_EQ(out("-quilm2high"), "1\t" + r36 + "\nF\tc\t3\t1\n3\t" + r20 + "\nF\tc\t2\t3\n");
  EXPECT_EQ(out("-quilm2low"), "2\t" + r36 + "\nF\tc\t4\t2\n4\t" + r20 + "\nF\tc\t3\t4\n");
  EXPECT_EQ(out("-splice-high") + out("-splice-low") + out("-splice-mutil"), "");
}

TEST_F(FinalMerge, ReadNumbersOutsideTheRunAreErrors) {
  spit(path("quilm2.tmp"), "9\tAC\nF\tc\t0\t1\n");
  spit(path("splice.tmp"), "");
  EXPECT_THROW(merge(4), InputError);
}

}  // namespace
}  // namespace quilm
