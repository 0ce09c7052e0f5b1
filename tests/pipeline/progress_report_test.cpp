#include "pipeline/progress_report.hpp"

#include <cstdio>
#include <string>

#include "common/progress_counter.hpp"
#include "support/test_support.hpp"

namespace quilm {
namespace {

class ProgressCounterTest : public test::TempDirTest {};

TEST_F(ProgressCounterTest, WorkerCountReachesTheFileOnlyEveryStepOfReads) {
  const std::string file = progress_file(dir(), 3);
  EXPECT_EQ(file, dir() + "/progress_3.txt");
  EXPECT_EQ(read_progress_file(file), 0);  // not written yet
  ProgressCounter counter(file);
  for (int batch = 0; batch < 127; ++batch) counter.add(32);  // 4064 reads
  EXPECT_FALSE(test::file_exists(file));
  counter.add(32);  // 4096
  EXPECT_EQ(read_progress_file(file), 4096);
  EXPECT_EQ(test::slurp(file), "4096\n");
  // Within the same second the count is kept in memory only.
  counter.add(5000);
  EXPECT_EQ(read_progress_file(file), 4096);
  EXPECT_EQ(counter.done(), 9096);
  EXPECT_FALSE(test::file_exists(file + ".tmp"));
}

TEST_F(ProgressCounterTest, CounterThatCannotWriteCountsOnQuietly) {
  ProgressCounter counter(dir() + "/missing/progress_0.txt");
  counter.add(10000);
  EXPECT_EQ(counter.done(), 10000);
  ProgressCounter none;
  none.add(10000);
  EXPECT_EQ(none.done(), 10000);
  test::spit(path("progress_1.txt"), "not a number\n");
  EXPECT_EQ(read_progress_file(path("progress_1.txt")), 0);
}

TEST_F(ProgressCounterTest, DriverSumsTheProcessesAndRemovesTheirFiles) {
  test::spit(path("progress_0.txt"), "stale\n");
  {
    WorkerProgress progress("stage", {dir(), 2, 100, 2});
    EXPECT_FALSE(test::file_exists(path("progress_0.txt")));  // stale ones go at the start
    test::spit(path("progress_0.txt"), "150\n");
    test::spit(path("progress_1.txt.tmp"), "1");
  }
  EXPECT_FALSE(test::file_exists(path("progress_0.txt")));
  EXPECT_FALSE(test::file_exists(path("progress_1.txt.tmp")));
}

}  // namespace
}  // namespace quilm
