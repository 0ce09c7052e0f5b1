// The export takes only what belongs to one run: a reference or a dataset
// with other bytes, or the rescue file of another run, is refused before
// anything is written; a new run's six files never stand beside an earlier
// run's rescue file or BAM.
#include <filesystem>
#include <random>

#include "support/test_support.hpp"

namespace quilm {
namespace {

using test::file_exists;
using test::slurp;
using test::spit;

class RunIdentity : public test::TempDirTest {
 protected:
  void SetUp() override {
    test::TempDirTest::SetUp();
    std::mt19937 rng(11);
    std::string genome;
    for (int i = 0; i < 60000; ++i) genome += "ACGT"[rng() % 4];
    std::string fasta = ">chrA\n";
    for (std::size_t i = 0; i < genome.size(); i += 60) fasta += genome.substr(i, 60) + '\n';
    spit(path("genome.fa"), fasta);
    std::string reads;
    for (int r = 0; r < 300; ++r) {
      const std::size_t at = rng() % (genome.size() - 100);
      reads += "@r" + std::to_string(r) + '\n' + genome.substr(at, 100) + "\n+\n" +
               std::string(100, 'I') + '\n';
    }
    spit(path("reads.fq"), reads);
  }

  test::RunResult run(const std::string& out, std::vector<std::string> more) {
    std::vector<std::string> args{"-R" + path("genome.fa"), "-D" + path("reads.fq"), "-C1",
                                  "-O" + path(out), "-W" + path(out + "-work")};
    args.insert(args.end(), more.begin(), more.end());
    return test::run_program_in(dir(), test::program_path("quilm2splice"), args);
  }

  test::RunResult export_run(const std::string& reference, const std::string& dataset,
                             std::vector<std::string> more) {
    std::vector<std::string> args{"-R" + reference, "-D" + dataset, "-O" + path("a"), "-o",
                                  path("x.bam")};
    args.insert(args.end(), more.begin(), more.end());
    return test::run_program_in(dir(), test::program_path("quilm2sam"), args);
  }

  void expect_refused(const test::RunResult& r, const std::string& words) {
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find(words), std::string::npos) << r.err;
    EXPECT_FALSE(file_exists(path("x.bam")));
  }
};

TEST_F(RunIdentity, TheExportRefusesInputsOfAnotherRun) {
  ASSERT_EQ(run("a", {"--rescue"}).status, 0);
  ASSERT_EQ(run("b", {"--rescue", "-E1"}).status, 0);
  const std::string stamp = slurp(path("a-run"));
  EXPECT_EQ(slurp(path("a-rescue")).rfind("#run\t" + stamp.substr(4, 16) + '\n', 0), 0u);

  // The same bases, one changed: NM and MD would be those of another genome.
  std::string other = slurp(path("genome.fa"));
  other[100] = other[100] == 'A' ? 'C' : 'A';
  spit(path("other.fa"), other);
  expect_refused(export_run(path("other.fa"), path("reads.fq"), {}),
                 "option -R: '" + path("other.fa") + "' is not the file the run read");
  spit(path("more.fq"), slurp(path("reads.fq")) + "@extra\nACGT\n+\nIIII\n");
  expect_refused(export_run(path("genome.fa"), path("more.fq"), {"--unmapped"}),
                 "option -D: '" + path("more.fq") + "' is not the file the run read");
  expect_refused(export_run(path("genome.fa"), path("reads.fq"), {"--rescued=" + path("b-rescue")}),
                 "is the rescue file of run");
  spit(path("headless-rescue"), slurp(path("a-rescue")).substr(22));
  expect_refused(
      export_run(path("genome.fa"), path("reads.fq"), {"--rescued=" + path("headless-rescue")}),
      "carries no run number");
  // Given as a pipe, the dataset is told apart by its read count.
  expect_refused(
      test::run_program_in(
          dir(), "/bin/sh",
          {"-c", test::program_path("quilm2sam") + " -R" + path("genome.fa") + " -D- -O" +
                     path("a") + " -o " + path("x.bam") + " --unmapped < " + path("more.fq")}),
      "holds 301 reads, the run in");
  EXPECT_EQ(slurp(path("a-run")), stamp);

  const auto good =
      export_run(path("genome.fa"), path("reads.fq"), {"--rescued=" + path("a-rescue")});
  EXPECT_EQ(good.status, 0) << good.err;
  EXPECT_TRUE(file_exists(path("x.bam")));
  std::filesystem::remove(path("x.bam"));

  // A run of an earlier version has no stamp: exported as before, with a warning.
  std::filesystem::remove(path("a-run"));
  const auto old = export_run(path("genome.fa"), path("reads.fq"), {});
  EXPECT_EQ(old.status, 0) << old.err;
  EXPECT_NE(old.err.find("no run stamp"), std::string::npos) << old.err;
}

// A rerun under the same names takes away what the earlier run wrote after
// its six files, as its own six files come into place: stopped in its
// rescue stage or export, it leaves no mix of the two runs.
TEST_F(RunIdentity, ARerunRemovesTheEarlierRunsLaterOutputs) {
  ASSERT_EQ(run("a", {"--rescue", "--bam=" + path("a.bam")}).status, 0);
  ASSERT_TRUE(file_exists(path("a-rescue")));
  ASSERT_TRUE(file_exists(path("a.bam.bai")));
  const std::string first_stamp = slurp(path("a-run"));
  const auto again = run("a", {"-E1"});
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_FALSE(file_exists(path("a-rescue")));
  EXPECT_TRUE(file_exists(path("a.bam")));  // not a name of the rerun
  EXPECT_NE(slurp(path("a-run")), first_stamp);
  ASSERT_EQ(run("a", {"--bam=" + path("a.bam")}).status, 0);
  EXPECT_TRUE(file_exists(path("a.bam.bai")));
}

}  // namespace
}  // namespace quilm
