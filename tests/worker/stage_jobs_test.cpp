#include "worker/stage_jobs.hpp"

#include <unistd.h>

#include <filesystem>

#include "common/errors.hpp"
#include "support/test_support.hpp"

namespace quilm {
namespace {

using test::spit;

class StageJobsTest : public test::TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    config_.work_folder = path("work");
    std::filesystem::create_directory(config_.work_folder);
    spit(path("work/1.txt"), "ACGT");
    spit(path("work/2.txt"), "GGCC");
    spit(path("work/0.fastq"), "1\tACGT\n");
    stage_.jobs = {{1, {}, path("work/1.r")}, {2, {}, path("work/2.r.part0")}};
  }
  std::string refusal() {
    try {
      refuse_results_over_inputs(config_, stage_, {{"the read file", path("work/0.fastq")}});
    } catch (const UsageError& e) {
      return e.what();
    }
    return "";
  }
  RunConfig config_;
  StageJobs stage_;
};

// A result file linked to what the worker reads would be emptied as it
// starts writing.
TEST_F(StageJobsTest, AResultFileThatIsAnInputIsRefused) {
  EXPECT_EQ(refusal(), "");
  spit(path("work/1.r"), "an earlier result\n");
  EXPECT_EQ(refusal(), "");
  std::filesystem::remove(path("work/1.r"));
  ASSERT_EQ(::link(path("work/0.fastq").c_str(), path("work/1.r").c_str()), 0);
  EXPECT_EQ(refusal(), "a result file ('" + path("work/1.r") +
                           "') names the file of the read file ('" + path("work/0.fastq") +
                           "'), which the run would overwrite");
  std::filesystem::remove(path("work/1.r"));
  // A result linked to the segment of another job counts too.
  std::filesystem::create_symlink("1.txt", path("work/2.r.part0"));
  EXPECT_NE(refusal().find("names the file of a segment file ('" + path("work/1.txt") + "')"),
            std::string::npos);
}

}  // namespace
}  // namespace quilm
