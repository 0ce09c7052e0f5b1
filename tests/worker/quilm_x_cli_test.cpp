// The built quilm_x program: a hand-made config.txt and
// taskmpi.txt, two process numbers, a skipped negative entry, the reduced
// index at seed 14, and the error exits.
#include <random>
#include <string>

#include "common/paths.hpp"
#include "support/config_file.hpp"
#include "support/test_support.hpp"
#include "worker/read_mapping.hpp"

namespace quilm {
namespace {

class QuilmXCliTest : public test::TempDirTest {
 protected:
  void SetUp() override {
    test::TempDirTest::SetUp();
    std::mt19937 rng(21);
    auto bases = [&](int n) {
      std::string s;
      for (int i = 0; i < n; ++i) s += "ACGT"[rng() % 4];
      return s;
    };
    segs_[1] = bases(3000);
    segs_[2] = bases(2000) + "acgtacgtac" + bases(1000);
    segs_[3] = std::string(500, 'N');
    segs_[4] = bases(1500) + segs_[1].substr(100, 300);
    for (int k = 1; k <= 4; ++k) test::spit(path(std::to_string(k) + ".txt"), segs_[k]);
    std::string reads;
    int number = 0;
    for (int k : {1, 2, 4})
      for (int i = 0; i < 20; ++i) {
        std::string r = segs_[k].substr(40 + 80 * i, 40);
        if (i % 3 == 1) r[10] = r[10] == 'A' ? 'G' : 'A';
        reads += std::to_string(++number) + "\t" + r + "\n";
      }
    reads += std::to_string(++number) + "\tACG\n";
    for (const char* name : {"0.fastq", "14.fastq", "12.fastq", "10.fastq", "8.fastq"})
      test::spit(path(name), reads);
    test::spit(path("taskmpi.txt"), "0 1 -1 0 ");
    write_config(1);
  }
  void write_config(int reduction, int best = 1, int export_all = 0) {
    RunConfig c;
    c.work_folder = dir();
    c.ref_path = "ref.fa";
    c.output_path = "out";
    c.segment_count = 4;
    c.read_count = 61;
    c.seed_length = 6;
    c.best_toggle = best;
    c.cpu_cores = 2;
    c.memory_reduction_toggle = reduction;
    c.export_all_toggle = export_all;
    c.has_splice_line = true;
    test::write_config(dir(), c);
  }
  test::RunResult run(std::vector<std::string> args) {
    return test::run_program_in(dir(), test::program_path("quilm_x"), args);
  }
  std::string expected(int k, int L, int best, int export_all) {
    MapSettings s;
    s.seed_length = L;
    s.best_toggle = best;
    s.export_all_toggle = export_all;
    const std::string reads = path(L == 14 ? "0.fastq" : std::to_string(L + 2) + ".fastq");
    quilm_x(path(std::to_string(k) + ".txt"), reads, path("expect.r"), s);
    return test::slurp(path("expect.r"));
  }
  std::string segs_[5];
};

TEST_F(QuilmXCliTest, TwoProcessesMapTheirSegmentsAndSkipNegativeEntries) {
  for (int L : {12, 10, 8, 6}) {
    for (const char* f : {"1.r", "2.r", "3.r", "4.r"}) std::remove(path(f).c_str());
    test::RunResult p0 = run({std::to_string(L), "0"});
    EXPECT_EQ(p0.status, 0) << p0.err;
    EXPECT_EQ(p0.out, "");
    EXPECT_TRUE(test::file_exists(path("1.r")));
    EXPECT_FALSE(test::file_exists(path("2.r")));
    EXPECT_TRUE(test::file_exists(path("4.r")));
    test::RunResult p1 = run({std::to_string(L), "1"});
    EXPECT_EQ(p1.status, 0) << p1.err;
    EXPECT_TRUE(test::file_exists(path("2.r")));
    EXPECT_FALSE(test::file_exists(path("3.r")));  // no process maps segment 3
    for (int k : {1, 2, 4})
      EXPECT_EQ(test::slurp(path(std::to_string(k) + ".r")), expected(k, L, 1, 0)) << L << " " << k;
    EXPECT_NE(test::slurp(path("1.r")), "");
  }
  // A process number that no entry names maps nothing.
  test::RunResult p5 = run({"8", "5"});
  EXPECT_EQ(p5.status, 0);
}

TEST_F(QuilmXCliTest, RankVariableGivesTheProcessNumber) {
  setenv("OMPI_COMM_WORLD_RANK", "1", 1);
  test::RunResult p = run({"10"});
  unsetenv("OMPI_COMM_WORLD_RANK");
  EXPECT_EQ(p.status, 0) << p.err;
  EXPECT_TRUE(test::file_exists(path("2.r")));
  EXPECT_FALSE(test::file_exists(path("1.r")));
}

TEST_F(QuilmXCliTest, OtherReductionValueMapsNothingAtSeed14) {
  write_config(2);
  test::RunResult p = run({"14", "0"});
  EXPECT_EQ(p.status, 0) << p.err;
  EXPECT_FALSE(test::file_exists(path("1.r")));
  p = run({"12", "0"});  // later cycles use the full index
  EXPECT_EQ(p.status, 0) << p.err;
  EXPECT_TRUE(test::file_exists(path("1.r")));
}

TEST_F(QuilmXCliTest, ErrorsNameTheProblem) {
  test::RunResult p = run({});
  EXPECT_NE(p.status, 0);
  EXPECT_NE(p.err.find("usage"), std::string::npos) << p.err;

  p = run({"7", "0"});
  EXPECT_NE(p.status, 0);
  EXPECT_NE(p.err.find("seed length"), std::string::npos) << p.err;

  p = run({"x", "0"});
  EXPECT_NE(p.status, 0);

  std::remove(path("12.fastq").c_str());
  p = run({"10", "0"});
  EXPECT_NE(p.status, 0);
  EXPECT_NE(p.err.find("12.fastq"), std::string::npos) << p.err;

  std::remove(path("1.txt").c_str());
  p = run({"8", "0"});
  EXPECT_NE(p.status, 0);
  EXPECT_NE(p.err.find("1.txt"), std::string::npos) << p.err;

  test::spit(path("taskmpi.txt"), "0 1");
  p = run({"8", "1"});
  EXPECT_NE(p.status, 0);
  EXPECT_NE(p.err.find("taskmpi.txt"), std::string::npos) << p.err;

  std::remove(path("config.txt").c_str());
  p = run({"8", "0"});
  EXPECT_NE(p.status, 0);
  EXPECT_NE(p.err.find("config.txt"), std::string::npos) << p.err;
}

}  // namespace
}  // namespace quilm
