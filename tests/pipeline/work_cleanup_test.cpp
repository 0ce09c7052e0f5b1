#include "pipeline/work_cleanup.hpp"

#include <filesystem>
#include <set>
#include <string>

#include "support/test_support.hpp"

namespace quilm {
namespace {

namespace fs = std::filesystem;

class WorkCleanupTest : public test::TempDirTest {
 protected:
  std::set<std::string> left(const std::string& folder) const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(path(folder)))
      names.insert(entry.path().filename().string());
    return names;
  }
};

TEST_F(WorkCleanupTest, RemovesTheWorkFilesAndNothingElse) {
  fs::create_directories(path("work/index"));
  for (const char* name : {"0.fastq",
                           "14.fastq",
                           "1.txt",
                           "2.txt",
                           "1.r",
                           "2.r.part1",
                           "splice0.fastq",
                           "fast_index.txt",
                           "task.txt",
                           "taskmpi.txt",
                           "sliceplan.txt",
                           "index_store.txt",
                           "quilm2.tmp",
                           "splice.tmp",
                           "pairs.txt",
                           "rescue0.fastq",
                           "rescue_hints.txt",
                           "rescue_junctions.txt",
                           "progress_0.txt",
                           "run.lock",
                           "reference_memo.txt",
                           "index/seg-ab-L14-reduced-m1.idx"})
    test::spit(path(std::string("work/") + name), "x");
  // Not the run's: a file of the user's, and a folder under a work file's name.
  test::spit(path("work/notes.txt"), "mine");
  fs::create_directories(path("work/3.txt"));
  // Outputs placed in the work folder, one under a work file's name, and a
  // link standing at a work file's name.
  test::spit(path("work/5.r"), "hits");
  test::spit(path("work/5.r.config"), "log");
  test::spit(path("work/run.bam"), "bam");
  test::spit(path("work/run.bam.bai"), "bai");
  fs::create_symlink(path("work/notes.txt"), path("work/4.txt"));

  const int removed =
      remove_work_files("quilm2", path("work"), {path("work/5.r"), path("work/run.bam")});
  EXPECT_EQ(removed, 21);
  EXPECT_EQ(left("work"), (std::set<std::string>{"index", "notes.txt", "3.txt", "5.r", "5.r.config",
                                                 "run.bam", "run.bam.bai", "4.txt"}));
  EXPECT_EQ(left("work/index"), (std::set<std::string>{"seg-ab-L14-reduced-m1.idx"}));
  EXPECT_EQ(test::slurp(path("work/notes.txt")), "mine");
}

TEST_F(WorkCleanupTest, OutputReachedThroughAnotherPathIsKept) {
  fs::create_directories(path("work"));
  test::spit(path("work/0.fastq"), "x");
  test::spit(path("work/7.txt"), "hits");
  fs::create_hard_link(path("work/7.txt"), path("out"));
  EXPECT_EQ(remove_work_files("quilm2", path("work"), {path("out")}), 1);
  EXPECT_EQ(left("work"), (std::set<std::string>{"7.txt"}));
}

}  // namespace
}  // namespace quilm
