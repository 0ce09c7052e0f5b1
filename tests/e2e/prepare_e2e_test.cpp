// Runs the built splice driver and checks every file its preparation writes.
#include <filesystem>

#include "support/test_support.hpp"

namespace quilm {
namespace {

using test::file_exists;
using test::slurp;
using test::spit;

class PrepareRun : public test::TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    spit(path("ref.fa"), ">chr1 the first\nACGTACGTAA\nCCGGTTAA\n>chr2\nggggNNNNcc\n");
    spit(path("reads.fq"), "@r1 one\nACGTACGT\n+\nIIIIIIII\n@r2\nGGTTAA\n+\nIIIIII\n");
  }
  test::RunResult run(std::vector<std::string> args) {
    return test::run_program_in(dir(), test::program_path("quilm2splice"), args);
  }
};

TEST_F(PrepareRun, WritesEveryPreparationFileAndConfigLast) {
  // A long work-folder path, nested and created with its parents.
  std::string work = path(std::string(150, 'w') + "/" + std::string(150, 'v'));
  auto r = run({"-R" + path("ref.fa"), "-D" + path("reads.fq"), "-O" + path("out"), "-W" + work,
                "-C3", "-S7,8", "-A0", "-M1"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Parameters:\n    Maximum read length: 100\n"), std::string::npos);
  EXPECT_NE(r.out.find("    Export all locations: 0\n"), std::string::npos);
  EXPECT_NE(r.out.find("    Minimum Seed length of Splice: 8\n"), std::string::npos);
  EXPECT_EQ(slurp(work + "/0.fastq"), "1\tACGTACGT\n2\tGGTTAA\n");
  EXPECT_EQ(slurp(work + "/1.txt"), "ACGTACGTAACCGGTTAANggggNNNNcc");
  EXPECT_EQ(slurp(work + "/fast_index.txt"), "1 0 0 1 chr1\n1 19 0 2 chr2\n1 29 10 2 chr2\n");
  EXPECT_EQ(slurp(work + "/task.txt"), "1 29 19\n");
  EXPECT_EQ(slurp(work + "/taskmpi.txt"), "0 ");
  EXPECT_TRUE(file_exists(path("out")));
  EXPECT_EQ(slurp(path("out")), "");
  std::string config = slurp(path("config.txt"));
  std::string head = work + "\n" + path("ref.fa") + "\n" + path("out") +
                     "\n1 2 100 2 0 7 1 1 0 3 1 1\n10 50000 8\n";
  ASSERT_EQ(config.substr(0, head.size()), head);
  EXPECT_EQ(config.find("The Time of splited Ref. file and the assigned task used : ", head.size()),
            head.size());
}

TEST_F(PrepareRun, RefusedCommandLinesWriteNothing) {
  auto none = run({});
  EXPECT_EQ(none.status, 1);
  EXPECT_NE(none.out.find("Command-line usage:\nquilm2splice -R[ref] -D[dataset]"),
            std::string::npos);
  EXPECT_NE(none.out.find("Fatal error: parameter invalid (filename input error?)\n"),
            std::string::npos);

  auto bad_number =
      run({"-R" + path("ref.fa"), "-D" + path("reads.fq"), "-Oout", "-Wwork", "-C4a"});
  EXPECT_EQ(bad_number.status, 1);
  EXPECT_NE(bad_number.err.find("-C"), std::string::npos);
  EXPECT_FALSE(file_exists(path("config.txt")));
  EXPECT_FALSE(file_exists(path("work")));
}

TEST_F(PrepareRun, UnusableInputsAreNamedAndNothingIsWritten) {
  spit(path("notfasta.fa"), "ACGT\n");
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"-R" + path("absent.fa"), "absent.fa"},
      {"-R" + path("notfasta.fa"), "notfasta.fa"},
  };
  for (const auto& [ref, name] : cases) {
    auto r = run({ref, "-D" + path("reads.fq"), "-Oout", "-Wwork", "-C1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(name), std::string::npos) << r.err;
  }
  auto r = run({"-R" + path("ref.fa"), "-D" + path("absent.fq"), "-Oout", "-Wwork", "-C1"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("absent.fq"), std::string::npos);
  EXPECT_FALSE(file_exists(path("work")));
  EXPECT_FALSE(file_exists(path("config.txt")));
}

}  // namespace
}  // namespace quilm
