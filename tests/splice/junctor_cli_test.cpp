// The built junctor program on hand-made work folders: which segments a
// process maps, into which files, and how it refuses unusable input.
#include <filesystem>
#include <string>
#include <vector>

#include "common/task_table.hpp"
#include "splice_test_data.hpp"
#include "support/config_file.hpp"
#include "support/test_support.hpp"

namespace quilm {
namespace {

class JunctorCliTest : public test::TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    work = path("work");
    std::filesystem::create_directory(work);
    genome = test::random_bases(3000, 17);
    test::place_intron(genome, 1000, 700, "GT", "AG");
    config.work_folder = work;
    config.ref_path = "genome.fa";
    config.output_path = "out";
    config.segment_count = 3;
    config.max_read_length = 60;
    config.has_splice_line = true;
    config.min_gap_distance = 10;
    config.max_gap_distance = 50000;
    config.splice_seed_length = 10;
    test::write_config(dir(), config);
    write_task_table(work, {0, 1, -1});
    // Segment 1 as written by the segmenter (header, line breaks); segment 2
    // lacks the intron's donor; segment 3 belongs to no process.
    test::spit(work + "/1.txt",
               ">1\n" + genome.substr(0, 1500) + "\n" + genome.substr(1500) + "\n");
    std::string broken = genome;
    broken[1000] = 'C';
    test::spit(work + "/2.txt", broken);
    test::spit(work + "/3.txt", genome);
    read = test::junction_read(genome, 1000, 700, 20, 30);
    test::spit(work + "/splice0.fastq",
               "4\t" + read + "\n9\t" + test::reverse_complement_of(read) + "\n");
  }

  test::RunResult junctor(const std::vector<std::string>& args) {
    return test::run_program_in(dir(), test::program_path("junctor"), args);
  }

  std::string work, genome, read;
  RunConfig config;
};

TEST_F(JunctorCliTest, MapsTheSegmentsOfItsProcessOnly) {
  const test::RunResult r = junctor({"10", "0"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  std::string signals(50, '0');
  signals[19] = '3';
  EXPECT_EQ(test::slurp(work + "/1.r"), "4\t" + read + "\t" + signals + "\nF\t19\t0\t980\t1680\n" +
                                            "9\t" + test::reverse_complement_of(read) + "\t" +
                                            signals + "\nF\t19\t0\t980\t1680\n");
  EXPECT_FALSE(test::file_exists(work + "/2.r"));
  EXPECT_FALSE(test::file_exists(work + "/3.r"));

  ASSERT_EQ(junctor({"10", "1"}).status, 0);
  EXPECT_EQ(test::slurp(work + "/2.r"), "");
  EXPECT_FALSE(test::file_exists(work + "/3.r"));

  ASSERT_EQ(junctor({"10", "5"}).status, 0);  // no segment for process 5
  EXPECT_FALSE(test::file_exists(work + "/3.r"));
}

TEST_F(JunctorCliTest, SeedFourteenNeedsAKnownReductionToggle) {
  config.memory_reduction_toggle = 2;
  test::write_config(dir(), config);
  const test::RunResult r = junctor({"14", "0"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_FALSE(test::file_exists(work + "/1.r"));
}

TEST_F(JunctorCliTest, RefusesUnusableArgumentsAndFiles) {
  auto expect_refusal = [&](const std::vector<std::string>& args, const std::string& named) {
    const test::RunResult r = junctor(args);
    EXPECT_NE(r.status, 0) << named;
    EXPECT_NE(r.err.find("junctor: error:"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(named), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
  };
  expect_refusal({}, "usage");
  expect_refusal({"7", "0"}, "seed length 7");
  expect_refusal({"ten", "0"}, "seed length");

  std::filesystem::create_directory(work + "/1.r");  // result file cannot be written
  expect_refusal({"10", "0"}, "1.r");
  std::filesystem::remove(work + "/1.r");

  std::filesystem::remove(work + "/1.txt");
  expect_refusal({"10", "0"}, "1.txt");
  std::filesystem::remove(work + "/splice0.fastq");
  expect_refusal({"10", "0"}, "splice0.fastq");
  test::spit(work + "/taskmpi.txt", "0 1");
  expect_refusal({"10", "0"}, "taskmpi.txt");
  std::filesystem::remove(work + "/taskmpi.txt");
  expect_refusal({"10", "0"}, "taskmpi.txt");

  config.has_splice_line = false;
  test::write_config(dir(), config);
  expect_refusal({"10", "0"}, "config.txt");  // no splice line
  std::filesystem::remove(path("config.txt"));
  expect_refusal({"10", "0"}, "config.txt");
}

}  // namespace
}  // namespace quilm
