// The drivers refuse, before any work, an input that the run would write
// over: one of its outputs, or a file of its work folder.
#include <filesystem>
#include <map>
#include <vector>

#include "support/test_support.hpp"

namespace quilm {
namespace {

using test::file_exists;
using test::slurp;
using test::spit;

namespace fs = std::filesystem;

std::string bases(std::size_t n, unsigned seed) {
  std::string s(n, 'A');
  for (char& c : s) {
    seed = seed * 1103515245u + 12345u;
    c = "ACGT"[(seed >> 16) & 3];
  }
  return s;
}

class RunFiles : public test::TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    const std::string genome = bases(600, 7);
    spit(path("ref.fa"),
         ">chr1\n" + genome.substr(0, 300) + "\n>chr2\n" + genome.substr(300) + "\n");
    reads_ = "@a\n" + genome.substr(20, 40) + "\n+\n" + std::string(40, 'I') + "\n@b\n" +
             genome.substr(350, 40) + "\n+\n" + std::string(40, 'I') + "\n";
    spit(path("reads.fq"), reads_);
  }
  test::RunResult run(const std::string& driver, const std::vector<std::string>& args) {
    return test::run_program_in(dir(), test::program_path(driver), args);
  }
  // Status 1, the message, the inputs as they were and no run log.
  void expect_refused(const test::RunResult& r, const std::string& words,
                      const std::map<std::string, std::string>& inputs) {
    EXPECT_EQ(r.status, 1) << words;
    EXPECT_NE(r.err.find(words), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("which the run would overwrite"), std::string::npos) << r.err;
    for (const auto& [name, text] : inputs) EXPECT_EQ(slurp(path(name)), text) << name;
    if (!inputs.contains("config.txt")) {
      EXPECT_FALSE(file_exists(path("config.txt")));
    }
  }
  std::string reads_;
};

TEST_F(RunFiles, AnInputNamedAsAFileOfTheWorkFolderIsLeftAlone) {
  const std::string ref = slurp(path("ref.fa"));
  spit(path("0.fastq"), reads_);
  auto r = run("quilm2splice", {"-Rref.fa", "-D0.fastq", "-Orun", "-W.", "-C1"});
  expect_refused(r, "option -W ('./0.fastq') names the file of -D ('0.fastq')",
                 {{"0.fastq", reads_}, {"ref.fa", ref}});
  EXPECT_FALSE(file_exists(path("1.txt")));

  spit(path("1.txt"), ref);
  r = run("quilm2", {"-R1.txt", "-Dreads.fq", "-Ohits", "-W.", "-C1"});
  expect_refused(r, "option -W ('./1.txt') names the file of -R ('1.txt')",
                 {{"1.txt", ref}, {"reads.fq", reads_}});

  // A later cycle's read file, in a work folder of an earlier run.
  fs::create_directory(path("work"));
  spit(path("work/12.fastq"), reads_);
  r = run("quilm2splice", {"-Rref.fa", "-Dwork/12.fastq", "-Orun", "-Wwork", "-C1"});
  expect_refused(r, "option -W ('work/12.fastq') names the file of -D ('work/12.fastq')",
                 {{"work/12.fastq", reads_}});
  EXPECT_FALSE(file_exists(path("work/0.fastq")));

  // The run log of the current directory.
  spit(path("config.txt"), reads_);
  r = run("quilm2splice", {"-Rref.fa", "-Dconfig.txt", "-Orun", "-Wwork", "-C1"});
  expect_refused(r, "the run log ('config.txt') names the file of -D ('config.txt')",
                 {{"config.txt", reads_}});
}

TEST_F(RunFiles, AnOutputThatIsAnInputIsRefused) {
  const std::string ref = slurp(path("ref.fa"));
  auto r = run("quilm2", {"-Rref.fa", "-Dreads.fq", "-Oref.fa", "-Wwork", "-C1"});
  expect_refused(r, "option -O ('ref.fa') names the file of -R ('ref.fa')", {{"ref.fa", ref}});
  EXPECT_FALSE(file_exists(path("work")));
  fs::create_symlink("reads.fq", path("hits"));
  r = run("quilm2", {"-Rref.fa", "-Dreads.fq", "-Ohits", "-Wwork", "-C1"});
  expect_refused(r, "option -O ('hits') names the file of -D ('reads.fq')", {{"reads.fq", reads_}});
  // The six files of the splice driver, and the export naming the annotation.
  spit(path("known.gtf"), "chr1\tx\texon\t1\t50\t.\t+\t.\ttranscript_id \"t\";\n");
  const std::string known = slurp(path("known.gtf"));
  fs::create_symlink("known.gtf", path("known.sam"));
  r = run("quilm2splice", {"-Rref.fa", "-Dreads.fq", "-Orun", "-Wwork", "-C1", "--rescue",
                           "--junctions=known.gtf", "--bam=known.sam"});
  expect_refused(r, "option --bam ('known.sam') names the file of --junctions ('known.gtf')",
                 {{"known.gtf", known}});
  spit(path("reads.fq-splice-low"), reads_);
  r = run("quilm2splice",
          {"-Rref.fa", "-Dreads.fq", "-Oreads.fq", "-Wwork", "-C1", "--mates=reads.fq-splice-low"});
  expect_refused(r, "option -O ('reads.fq-splice-low') names the file of --mates",
                 {{"reads.fq-splice-low", reads_}});
  EXPECT_FALSE(file_exists(path("work")));
  // Outputs not there yet: by name, the export's index against the output.
  r = run("quilm2",
          {"-Rref.fa", "-Dreads.fq", "-Ohits.bam.bai", "-Wwork", "-C1", "--bam=hits.bam"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("option --bam=hits.bam names the file of -O (with its index "
                       "'hits.bam.bai'), which the export would replace"),
            std::string::npos)
      << r.err;
  EXPECT_FALSE(file_exists(path("hits.bam.bai")));
  EXPECT_FALSE(file_exists(path("work")));
}

// A dataset may lie in the work folder under a name the run does not write;
// the run's outputs are those of the same dataset elsewhere.
TEST_F(RunFiles, ADatasetInsideTheWorkFolderMapsAsElsewhere) {
  auto r = run("quilm2splice", {"-Rref.fa", "-Dreads.fq", "-Oout", "-Wapart", "-C1", "-S8,8"});
  ASSERT_EQ(r.status, 0) << r.err;
  fs::create_directory(path("work"));
  spit(path("work/reads.fq"), reads_);
  fs::create_directory(path("second"));
  r = test::run_program_in(
      path("second"), test::program_path("quilm2splice"),
      {"-R../ref.fa", "-D../work/reads.fq", "-Oout", "-W../work", "-C1", "-S8,8"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(slurp(path("work/reads.fq")), reads_);
  for (const char* suffix : {"-quilm2high", "-quilm2low", "-quilm2mutil", "-splice-high",
                             "-splice-low", "-splice-mutil"})
    EXPECT_EQ(slurp(path("second/out") + suffix), slurp(path("out") + suffix)) << suffix;
  EXPECT_NE(slurp(path("out-quilm2high")), "");
}

}  // namespace
}  // namespace quilm
