#include <filesystem>

#include "support/test_support.hpp"

namespace quilm {
namespace {

using test::slurp;
using test::spit;

class TailfetchCliTest : public test::TempDirTest {
 protected:
  test::RunResult run(const std::vector<std::string>& args) {
    return test::run_program_in(dir(), test::program_path("tailfetch"), args);
  }
};

TEST_F(TailfetchCliTest, WritesUnmappedReadsAsFastq) {
  const std::string seq(120, 'A');
  std::string reads(1, '@');
  reads.append(300, 'a').append("\n").append(seq).append("\n+\n").append(120, '#');
  reads.append("\n@b\n").append(seq).append("\n+b\n").append(120, '#').append("\n");
  spit(path("reads.fq"), reads);
  spit(path("hits"), "2\t" + seq + "\nR\tchr1\t1\t100\n");
  test::RunResult result = run({"-Freads.fq", "-Rhits", "-Oout.fq", "-Zignored", "stray"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err,
            "tailfetch: warning: option -Zignored is not known and is ignored\n"
            "tailfetch: warning: argument 'stray' is not an option and is ignored\n");
  EXPECT_EQ(slurp(path("out.fq")), "@1_1\n" + seq.substr(0, 75) + "\n+\n" + std::string(75, 'F') +
                                       "\n@1_2\n" + seq.substr(0, 45) + "\n+\n" +
                                       std::string(45, 'F') + "\n");
  EXPECT_EQ(slurp(path("hits_tmp1")), "");

  // The FASTQ from standard input, as a gzip stream through a pipe.
  const std::string expected = slurp(path("out.fq"));
  result = test::run_program_in(
      dir(), "/bin/sh",
      {"-c", "gzip -c reads.fq | '" + test::program_path("tailfetch") + "' -F- -Rhits -Opiped.fq"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(slurp(path("piped.fq")), expected);
  result = run({"-F-", "-R-", "-Ox.fq"});
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("cannot both read standard input"), std::string::npos) << result.err;
}

TEST_F(TailfetchCliTest, MissingOptionOrInputWritesNothing) {
  spit(path("reads.fq"), "@a\nACGT\n+\nIIII\n");
  std::filesystem::create_directory(path("out"));
  const std::vector<std::vector<std::string>> calls = {
      {"-Freads.fq", "-Rhits"},
      {"-Freads.fq", "-Oout/x.fq"},
      {"-Rhits", "-Oout/x.fq"},
      {"-Freads.fq", "-R", "-Oout/x.fq"},
  };
  for (const auto& call : calls) {
    test::RunResult result = run(call);
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("usage: tailfetch"), std::string::npos) << result.err;
  }
  test::RunResult result = run({"-Freads.fq", "-Rout/none", "-Oout/x.fq"});
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("out/none"), std::string::npos) << result.err;
  EXPECT_TRUE(std::filesystem::is_empty(path("out")));
}

// Before the change the FASTQ was left empty when -O named it.
TEST_F(TailfetchCliTest, AnOutputThatIsAnInputIsRefusedAndTheInputKept) {
  const std::string reads = "@a\n" + std::string(60, 'C') + "\n+\n" + std::string(60, 'I') + "\n";
  const std::string hits = "1\t" + std::string(60, 'C') + "\nF\tchr1\t0\t5\n";
  spit(path("reads.fq"), reads);
  spit(path("hits"), hits);
  spit(path("hits_tmp1"), reads);
  std::filesystem::create_symlink("hits", path("out.fq"));
  const auto expect_refused = [&](const std::vector<std::string>& args, const char* words) {
    const test::RunResult result = run(args);
    EXPECT_EQ(result.status, 1) << words;
    EXPECT_NE(result.err.find(words), std::string::npos) << result.err;
    EXPECT_NE(result.err.find(", which the run would overwrite"), std::string::npos) << result.err;
    EXPECT_EQ(slurp(path("reads.fq")), reads);
    EXPECT_EQ(slurp(path("hits")), hits);
    EXPECT_EQ(slurp(path("hits_tmp1")), reads);
    EXPECT_FALSE(test::file_exists(path("new.fq")));
  };
  expect_refused({"-Freads.fq", "-Rhits", "-Oreads.fq"},
                 "option -O ('reads.fq') names the file of -F ('reads.fq')");
  expect_refused({"-Freads.fq", "-Rhits", "-Oout.fq"},
                 "option -O ('out.fq') names the file of -R ('hits')");
  expect_refused({"-Fhits_tmp1", "-Rhits", "-Onew.fq"},
                 "the carried results of -R ('hits_tmp1') names the file of -F ('hits_tmp1')");
}

}  // namespace
}  // namespace quilm
