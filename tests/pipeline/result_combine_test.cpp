#include "pipeline/result_combine.hpp"

#include <unistd.h>

#include "common/errors.hpp"
#include "support/test_support.hpp"

namespace quilm {
namespace {

using test::slurp;
using test::spit;

// Runs in its own folder: the combination appends to ./config.txt.
class ResultCombine : public test::TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    ASSERT_NE(getcwd(old_cwd_, sizeof old_cwd_), nullptr);
    ASSERT_EQ(chdir(dir().c_str()), 0);
    // Segment 1: chrA from 0 and chrB from offset 50; segment 2 starts
    // inside chrB at its position 40.
    spit(path("fast_index.txt"),
         "1 0 0 1 chrA\n1 50 0 2 chrB\n1 100 50 2 chrB\n2 0 40 2 chrB\n2 60 100 2 chrB\n");
    spit(path("0.fastq"),
         "1\tAAAAAAAAAA\n2\tCCCCCCCCCC\n3\tGGGGGGGGGGGGGGGGGGGGGGGGGGGGGGGGGGGGGGGGG\n"
         "4\tGGGGGGGGGGGGGGGGGGGGGGGGGGGGGGGGGGGGGGGGGG\n");
  }
  void TearDown() override {
    ASSERT_EQ(chdir(old_cwd_), 0);
    TempDirTest::TearDown();
  }
  int combine(int export_all, int indel = 0, CombineCounts* counts = nullptr) {
    RunConfig run;
    run.read_count = 4;
    run.segment_count = 2;
    run.work_folder = dir();
    run.max_errors = 2;
    run.indel_toggle = indel;
    run.export_all_toggle = export_all;
    return result_combine(run, path("merged"), 14, path("0.fastq"), counts);
  }

 private:
  char old_cwd_[4096];
};

TEST_F(ResultCombine, KeepsTheLowestErrorsAcrossSegmentsInChromosomeCoordinates) {
  spit(path("1.r"), "1\tAAAAAAAAAA\nF\t1\t2\t10\n2\tCCCCCCCCCC\nR\t1\t0\t60\n-1\tX\nF\t1\t0\t5\n");
  spit(path("2.r"), "1\tAAAAAAAAAA\nR\t1\t1\t0\n2\tCCCCCCCCCC\nF\t1\t0\t70\n");
  CombineCounts counts;
  EXPECT_EQ(combine(1, 0, &counts), 1);  // read 3 goes on, read 4 is too long
  // Read 1: only its 1-error hit, at offset 0 of segment 2 = chrB position 40.
  // Read 2: both 0-error hits (export-all), the second placed by line "2 60 100".
  EXPECT_EQ(slurp(path("merged")),
            "2\tCCCCCCCCCC\nR\tchrB\t0\t10\n1\tAAAAAAAAAA\nR\tchrB\t1\t40\n"
            "2\tCCCCCCCCCC\nF\tchrB\t0\t110\n");
  EXPECT_EQ(counts.matched, 2);
  EXPECT_EQ(counts.multi_matched, 1);
  EXPECT_EQ(counts.with_hit, 2);
  EXPECT_EQ(slurp(path("config.txt")),
            "The 14 seed mapping result,match read numeber: 2, multi_match number: 1,"
            "next_match number: 1,match number:2\n");
}

TEST_F(ResultCombine, FirstBestHitOnlyWithoutExportAll) {
  spit(path("1.r"), "2\tCCCCCCCCCC\nR\t1\t0\t60\n");
  spit(path("2.r"), "2\tCCCCCCCCCC\nF\t1\t0\t70\n");
  CombineCounts counts;
  combine(0, 0, &counts);
  EXPECT_EQ(slurp(path("merged")), "2\tCCCCCCCCCC\nR\tchrB\t0\t10\n");
  EXPECT_EQ(counts.matched, 1);
  EXPECT_EQ(counts.multi_matched, 1);
}

TEST_F(ResultCombine, LengthRuleDecidesTheNextCycle) {
  // No hits at all; the result file of segment 2 does not exist.
  spit(path("1.r"), "");
  // 10 / 14 = 0 and 41 / 14 = 2 pass; 42 / 14 = 3 > 2 does not.
  EXPECT_EQ(combine(1), 1);
  EXPECT_EQ(slurp(path("14.fastq")),
            "1\tAAAAAAAAAA\n2\tCCCCCCCCCC\n3\tGGGGGGGGGGGGGGGGGGGGGGGGGGGGGGGGGGGGGGGGG\n");
  EXPECT_EQ(combine(1, 1), 1);
  EXPECT_EQ(slurp(path("14.fastq")).size(), slurp(path("0.fastq")).size());
  EXPECT_EQ(slurp(path("merged")), "");
}

TEST_F(ResultCombine, ReturnsZeroWhenNothingIsLeft) {
  spit(path("1.r"), "1\tA\nF\t1\t0\t1\n2\tC\nF\t1\t0\t2\n3\tG\nF\t1\t2\t3\n");
  spit(path("2.r"), "");
  EXPECT_EQ(combine(1), 0);  // read 4 is unmapped but too long to go on
  EXPECT_EQ(slurp(path("14.fastq")), "");
}

TEST_F(ResultCombine, ForeignOrDamagedResultsAreErrors) {
  spit(path("1.r"), "9\tAAAA\nF\t1\t0\t1\n");
  EXPECT_THROW(combine(1), InputError);
  spit(path("1.r"), "1\tAAAA\nF\t1\t0");
  EXPECT_THROW(combine(1), InputError);
}

// An index line with a negative or enormous offset or position cannot come
// from a segmentation; converting a hit with it would overflow.
TEST_F(ResultCombine, ImpossibleIndexCoordinatesAreErrors) {
  spit(path("1.r"), "1\tAAAA\nF\t1\t0\t5\n");
  spit(path("fast_index.txt"), "1 -9223372036854775807 0 1 chrA\n");
  EXPECT_THROW(combine(1), InputError);
  spit(path("fast_index.txt"), "1 0 9223372036854775807 1 chrA\n");
  EXPECT_THROW(combine(1), InputError);
}

TEST_F(ResultCombine, TongjiCountsMergedRecords) {
  spit(path("m"), "1\tAC\nF\tchr1\t0\t5\n2\tGG\nR\tchr2\t1\t7\n");
  EXPECT_EQ(tongji(path("m")), 2);
  spit(path("m"), "");
  EXPECT_EQ(tongji(path("m")), 0);
}

}  // namespace
}  // namespace quilm
