// The drivers refuse, before any work, an input that the run would write
// over: one of its outputs, or a file of its work folder.
#include <filesystem>
#include <map>
#include <set>
#include <string>
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

// The names left in a folder.
std::set<std::string> names_in(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.insert(entry.path().filename().string());
  return names;
}

const char* const kSixFiles[] = {"-quilm2high",  "-quilm2low",  "-quilm2mutil",
                                 "-splice-high", "-splice-low", "-splice-mutil"};

std::vector<std::string> example_run(const std::string& work) {
  return {"-R" + test::source_path("examples/genome.fa"),
          "-D" + test::source_path("examples/reads.fq.gz"), "-Oout", "-W" + work, "-C2"};
}

// The workers' progress files never outlive their stage, and --remove-work
// leaves the outputs, the rescue file, the BAM and the index store, with the
// six files as a plain run writes them.
TEST_F(RunFiles, RemoveWorkLeavesTheOutputsAndTheStoreOnly) {
  fs::create_directories(path("plain"));
  auto r =
      test::run_program_in(path("plain"), test::program_path("quilm2splice"), example_run("work"));
  ASSERT_EQ(r.status, 0) << r.err;
  for (const std::string& name : names_in(path("plain/work")))
    EXPECT_FALSE(name.starts_with("progress_")) << name;
  EXPECT_TRUE(file_exists(path("plain/work/0.fastq")));  // kept by default

  fs::create_directories(path("clean"));
  auto args = example_run("work");
  args.push_back("--bam=out.bam");
  args.push_back("--remove-work");
  r = test::run_program_in(path("clean"), test::program_path("quilm2splice"), args);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(names_in(path("clean/work")), std::set<std::string>{"index"});
  EXPECT_FALSE(fs::is_empty(path("clean/work/index")));
  for (const char* suffix : kSixFiles)
    EXPECT_EQ(slurp(path("clean/out") + suffix), slurp(path("plain/out") + suffix)) << suffix;
  for (const char* file : {"out-rescue", "out-run", "out.bam", "out.bam.bai", "config.txt"})
    EXPECT_TRUE(file_exists(path("clean/") + file)) << file;

  // Outputs inside the work folder stay; without a store nothing else does.
  fs::create_directories(path("map/work"));
  r = test::run_program_in(path("map"), test::program_path("quilm2"),
                           {"-R" + test::source_path("examples/genome.fa"),
                            "-D" + test::source_path("examples/reads.fq.gz"), "-Owork/hits",
                            "-Wwork", "-C1", "--no-index-store", "--remove-work"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(names_in(path("map/work")), (std::set<std::string>{"hits", "hits.config", "hits.run"}));
  EXPECT_NE(slurp(path("map/work/hits")), "");
}

// A run that fails, here in its export, keeps every work file for a look.
TEST_F(RunFiles, FailedRunKeepsItsWorkFilesDespiteRemoveWork) {
  const std::string bin = path("bin");
  fs::create_directories(bin);
  fs::copy_file(test::program_path("quilm2splice"), bin + "/quilm2splice");
  for (const char* worker : {"quilm_x", "junctor", "quilm_rescue"})
    fs::create_symlink(test::program_path(worker), bin + "/" + worker);
  test::write_script(bin + "/quilm2sam", "exit 3\n");
  auto args = example_run(path("work"));
  args.push_back("--bam=" + path("out.bam"));
  args.push_back("--remove-work");
  const auto r = test::run_program_in(dir(), bin + "/quilm2splice", args);
  EXPECT_EQ(r.status, 1) << r.err;
  for (const char* file : {"0.fastq", "1.txt", "task.txt", "quilm2.tmp", "rescue0.fastq"})
    EXPECT_TRUE(file_exists(path("work/") + file)) << file;
  for (const char* suffix : kSixFiles) EXPECT_TRUE(file_exists(path("out") + suffix)) << suffix;
}

}  // namespace
}  // namespace quilm
