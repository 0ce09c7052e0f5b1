#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.hpp"

namespace quilm {
namespace {

class Quilm2samExampleTest : public test::TempDirTest {
 protected:
  std::string shell_output(const std::string& command) {
    const std::string out = path("shell.out");
    const int status = std::system(("cd '" + dir() + "' && (" + command + ") > shell.out").c_str());
    EXPECT_EQ(status, 0) << command;
    return test::slurp(out);
  }
};

// The bundled example from FASTQ to an indexed BAM in two commands.
TEST_F(Quilm2samExampleTest, ExampleRunBecomesASortedIndexedBam) {
  // A copy, so that the reference index samtools leaves beside it stays out
  // of the source tree.
  const std::string genome = path("genome.fa");
  test::spit(genome, test::slurp(test::source_path("examples/genome.fa")));
  const std::string reads = test::source_path("examples/reads.fq.gz");
  test::RunResult run = test::run_program_in(
      dir(), test::program_path("quilm2splice"),
      {"-R" + genome, "-D" + reads, "-O" + path("run"), "-W" + path("work"), "-C2", "-S10"});
  ASSERT_EQ(run.status, 0) << run.err;
  test::RunResult sam = test::run_program_in(
      dir(), test::program_path("quilm2sam"),
      {"-R" + genome, "-D" + reads, "-O" + path("run"), "-o", "run.bam", "--sort", "--unmapped"});
  ASSERT_EQ(sam.status, 0) << sam.err;
  ASSERT_TRUE(std::filesystem::exists(path("run.bam.bai")));
  EXPECT_EQ(shell_output("samtools quickcheck run.bam && echo ok"), "ok\n");

  // Every read once as primary or unmapped; each hit of the six files once.
  const std::string reads_in_dataset = shell_output("gzip -dc '" + reads + "' | wc -l");
  const long dataset = std::stol(reads_in_dataset) / 4;
  EXPECT_EQ(std::stol(shell_output("samtools view -c -F 256 run.bam")), dataset);
  long hits = 0;
  for (const char* suffix : {"-quilm2high", "-quilm2low", "-quilm2mutil", "-splice-high",
                             "-splice-low", "-splice-mutil"})
    hits += std::stol(shell_output("wc -l < run" + std::string(suffix))) / 2;
  EXPECT_EQ(std::stol(shell_output("samtools view -c -F 4 run.bam")), hits);

  // The index answers per chromosome, and samtools finds NM and MD right.
  std::istringstream stats(shell_output("samtools idxstats run.bam"));
  long mapped = 0;
  for (std::string name, length, in, out; stats >> name >> length >> in >> out;)
    mapped += std::stol(in);
  EXPECT_EQ(mapped, hits);
  EXPECT_EQ(shell_output("samtools view run.bam > mine.sam && samtools calmd run.bam '" + genome +
                         "' 2>/dev/null | samtools view | cmp - mine.sam && echo same"),
            "same\n");
  EXPECT_EQ(shell_output("samtools view run.bam | awk '$6 ~ /N/' | grep -c XS:A:"),
            shell_output("samtools view run.bam | awk '$6 ~ /N/' | wc -l"));

  // The same records whatever the number of threads, sorted or not (several
  // batches of reads are in flight at once), and the same index.
  for (const bool sorted : {true, false}) {
    for (const std::string threads : {"1", "2", "3"}) {
      SCOPED_TRACE(threads + (sorted ? " sorted" : ""));
      std::vector<std::string> args = {
          "-R" + genome,          "-D" + reads, "-O" + path("run"),    "-o",
          "t" + threads + ".bam", "--unmapped", "--threads=" + threads};
      if (sorted) args.push_back("--sort");
      test::RunResult r = test::run_program_in(dir(), test::program_path("quilm2sam"), args);
      ASSERT_EQ(r.status, 0) << r.err;
    }
    EXPECT_EQ(shell_output("samtools view t1.bam > t1.sam && samtools view t2.bam | cmp - t1.sam &&"
                           " samtools view t3.bam | cmp - t1.sam && echo same"),
              "same\n");
    if (!sorted) continue;
    EXPECT_EQ(shell_output("samtools view run.bam | cmp - t1.sam && echo same"), "same\n");
    EXPECT_EQ(shell_output("samtools index -o t3.ref.bai t3.bam && cmp t3.ref.bai t3.bam.bai && "
                           "echo same"),
              "same\n");
  }
}

// --bam on a driver: the run's outputs and stdout as without it, and the
// records of the two-command way with a valid index and the @PG chain; the
// splice driver's export takes the rescue stage's alignments unless
// --no-rescue is given, which gives the plain run's BAM byte for byte;
// quilm2 with a .sam name likewise.
TEST_F(Quilm2samExampleTest, DriverBamOptionGivesTheTwoCommandsRecords) {
  const std::string reads = test::source_path("examples/reads.fq.gz");
  const std::string genome = test::slurp(test::source_path("examples/genome.fa"));
  const auto run_in = [&](const std::string& folder, const std::string& program,
                          std::vector<std::string> extra) {
    std::filesystem::create_directories(path(folder));
    test::spit(path(folder + "/genome.fa"), genome);
    std::vector<std::string> args = {"-Rgenome.fa", "-D" + reads, "-Orun", "-Wwork", "-C2"};
    args.insert(args.end(), extra.begin(), extra.end());
    test::RunResult r = test::run_program_in(path(folder), test::program_path(program), args);
    EXPECT_EQ(r.status, 0) << r.err;
    return r;
  };
  const test::RunResult plain = run_in("plain", "quilm2splice", {});
  const test::RunResult bam = run_in("bam", "quilm2splice", {"--bam=run.bam"});
  const test::RunResult plain_bam =
      run_in("norescue", "quilm2splice", {"--bam=run.bam", "--no-rescue"});
  EXPECT_EQ(bam.out, plain.out);
  EXPECT_EQ(plain_bam.out, plain.out);
  for (const char* folder : {"bam/", "norescue/"})
    for (const char* file : {"run", "run-quilm2high", "run-quilm2low", "run-quilm2mutil",
                             "run-splice-high", "run-splice-low", "run-splice-mutil"})
      EXPECT_EQ(
          shell_output(std::string("cmp plain/") + file + " " + folder + file + " && echo same"),
          "same\n")
          << folder << file;
  EXPECT_TRUE(std::filesystem::exists(path("bam/run-rescue")));
  EXPECT_FALSE(std::filesystem::exists(path("norescue/run-rescue")));
  // The rescue stage adds its time line to the run log, and nothing else.
  EXPECT_EQ(shell_output("sed 's/: [0-9.]* sec$//' plain/config.txt > a.txt && "
                         "sed 's/: [0-9.]* sec$//' norescue/config.txt | cmp - a.txt && "
                         "sed 's/: [0-9.]* sec$//' bam/config.txt | grep -v '^The Time of rescue' "
                         "| cmp - a.txt && echo same"),
            "same\n");
  ASSERT_EQ(test::run_program_in(
                path("plain"), test::program_path("quilm2sam"),
                {"-Rgenome.fa", "-D" + reads, "-Orun", "-o", "run.bam", "--sort", "--unmapped"})
                .status,
            0);
  ASSERT_EQ(test::run_program_in(path("bam"), test::program_path("quilm2sam"),
                                 {"-Rgenome.fa", "-D" + reads, "-Orun", "-o", "two.bam", "--sort",
                                  "--unmapped", "--rescued=run-rescue"})
                .status,
            0);
  EXPECT_EQ(
      shell_output("samtools view plain/run.bam > two.txt && samtools idxstats "
                   "plain/run.bam > two.idx && samtools view norescue/run.bam | cmp - two.txt "
                   "&& samtools idxstats norescue/run.bam | cmp - two.idx && echo same"),
      "same\n");
  EXPECT_EQ(shell_output("samtools view bam/two.bam > rescued.txt && samtools view bam/run.bam | "
                         "cmp - rescued.txt && samtools view bam/run.bam | grep -c XR:Z: | "
                         "grep -qv '^0$' && echo same"),
            "same\n");
  const std::string header = shell_output("samtools view --no-PG -H bam/run.bam | grep @PG");
  EXPECT_EQ(header.find("@PG\tID:quilm2splice\tPN:quilm2splice\tVN:"), 0u) << header;
  EXPECT_NE(header.find(" -Wwork -C2 --bam=run.bam\n@PG\tID:quilm2sam\tPN:quilm2sam\tPP:"
                        "quilm2splice\t"),
            std::string::npos)
      << header;

  // An unsorted file written over the sorted one takes its stale index away.
  ASSERT_EQ(test::run_program_in(path("plain"), test::program_path("quilm2sam"),
                                 {"-Rgenome.fa", "-D" + reads, "-Orun", "-o", "run.bam"})
                .status,
            0);
  EXPECT_FALSE(std::filesystem::exists(path("plain/run.bam.bai")));

  // The six files of an earlier splice run under the same name are not the
  // mapping-only run's hits.
  std::filesystem::create_directories(path("map"));
  for (const char* suffix : {"-quilm2high", "-quilm2low", "-quilm2mutil", "-splice-high",
                             "-splice-low", "-splice-mutil"})
    std::filesystem::copy_file(path(std::string("bam/run") + suffix),
                               path(std::string("map/run") + suffix));
  run_in("map", "quilm2", {"--bam=run.sam", "--rg-id=map"});
  ASSERT_EQ(test::run_program_in(path("map"), test::program_path("quilm2sam"),
                                 {"-Rgenome.fa", "-D" + reads, "-Orun", "-o", "two.sam", "--sort",
                                  "--unmapped", "--rg-id=map", "--run-kind=mapping"})
                .status,
            0);
  EXPECT_EQ(shell_output("cd map && samtools view two.sam > two.txt && samtools view run.sam | "
                         "cmp - two.txt && samtools view -H run.sam | grep -c "
                         "'^@PG.ID:quilm2.PN:quilm2.VN:'"),
            "1\n");
  EXPECT_FALSE(std::filesystem::exists(path("map/run.sam.bai")));
}

}  // namespace
}  // namespace quilm
