// Faults injected into runs of the built programs: each must end with a
// message on stderr and a non-zero status, and never with output files that
// look complete. The runs map the bundled example with the reduced seed-14
// index (under 100 MiB per worker).
#include <filesystem>
#include <utility>

#include "support/test_support.hpp"

namespace quilm {
namespace {

using test::file_exists;
using test::slurp;
using test::spit;

namespace fs = std::filesystem;

const char* const kOutputs[] = {"-quilm2high",  "-quilm2low",  "-quilm2mutil",
                                "-splice-high", "-splice-low", "-splice-mutil"};

class Faults : public test::TempDirTest {
 protected:
  // A copy of the splice driver beside a worker wrapper script, which runs
  // `before` and `after` around the real quilm_x.
  std::string driver_with_wrapper(const std::string& before, const std::string& after) {
    const std::string bin = path("bin");
    fs::create_directories(bin);
    fs::copy_file(test::program_path("quilm2splice"), bin + "/quilm2splice",
                  fs::copy_options::overwrite_existing);
    if (!file_exists(bin + "/junctor"))
      fs::create_symlink(test::program_path("junctor"), bin + "/junctor");
    test::write_script(bin + "/quilm_x", before + "\n\"" + test::program_path("quilm_x") +
                                             "\" \"$@\"\nstatus=$?\n" + after + "\nexit $status\n");
    return bin + "/quilm2splice";
  }
  test::RunResult run(const std::string& driver, const std::string& cores = "-C1") {
    return test::run_program_in(dir(), driver,
                                {"-R" + test::source_path("examples/genome.fa"),
                                 "-D" + test::source_path("examples/reads.fq.gz"),
                                 "-O" + path("run"), "-W" + path("work"), cores});
  }
  void expect_failed_run(const test::RunResult& r, const std::string& words) {
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find(words), std::string::npos) << r.err;
    for (const char* suffix : kOutputs)
      EXPECT_FALSE(file_exists(path(std::string("run") + suffix))) << suffix;
  }
};

TEST_F(Faults, WorkerKilledInTheMiddleOfACycle) {
  // The worker itself (exec keeps its pid) is killed as soon as it has
  // created its result file, while it builds its index.
  const std::string bin = path("bin");
  fs::create_directories(bin);
  fs::copy_file(test::program_path("quilm2splice"), bin + "/quilm2splice");
  fs::create_symlink(test::program_path("junctor"), bin + "/junctor");
  test::write_script(bin + "/quilm_x", "(while [ ! -e \"" + path("work/1.r") +
                                           "\" ]; do sleep 0.01; done; kill -KILL $$) &\nexec \"" +
                                           test::program_path("quilm_x") + "\" \"$@\"\n");
  expect_failed_run(run(bin + "/quilm2splice"), "killed by signal 9");
}

TEST_F(Faults, SegmentFileDeletedBeforeMapping) {
  expect_failed_run(run(driver_with_wrapper("rm -f \"" + path("work/1.txt") + "\"", "")),
                    "worker process 0");
}

TEST_F(Faults, ResultFileCutMidRecord) {
  expect_failed_run(run(driver_with_wrapper("", "truncate -s -3 \"" + path("work/1.r") + "\"")),
                    "cut short");
}

TEST_F(Faults, ResultRecordOfAReadBeyondTheRun) {
  expect_failed_run(run(driver_with_wrapper("", "printf '999999\\tACGT\\nF\\t1\\t0\\t5\\n' >> \"" +
                                                    path("work/1.r") + "\"")),
                    "999999");
}

TEST_F(Faults, PartFileOfASharedSegmentLost) {
  // Two processes share the one segment; the part file of the second is
  // lost after its worker ended cleanly.
  const std::string part = path("work/1.r.part1");
  auto r = run(driver_with_wrapper("", "[ \"$2\" = 1 ] && rm -f \"" + part + "\""), "-C2");
  expect_failed_run(r, "'" + part + "' of segment 1 (slice 2 of 2, worker process 1) is missing");
  EXPECT_FALSE(file_exists(path("work/1.r")));
}

TEST_F(Faults, SecondRunInTheSameDirectoryStopsAtOnce) {
  // The first run's worker waits, so the first driver holds the lock.
  const std::string slow = driver_with_wrapper("sleep 4", "");
  const int first =
      test::start_program_in(dir(), slow,
                             {"-R" + test::source_path("examples/genome.fa"),
                              "-D" + test::source_path("examples/reads.fq.gz"), "-O" + path("run"),
                              "-W" + path("work"), "-C1", "-S14,7"});
  for (int i = 0; i < 100 && !file_exists(path("work/taskmpi.txt")); ++i) usleep(50000);
  auto second = test::run_program_in(dir(), test::program_path("quilm2"),
                                     {"-R" + test::source_path("examples/genome.fa"),
                                      "-D" + test::source_path("examples/reads.fq.gz"),
                                      "-O" + path("other"), "-W" + path("work2"), "-C1"});
  EXPECT_EQ(second.status, 1);
  EXPECT_NE(second.err.find("another run is using"), std::string::npos) << second.err;
  EXPECT_FALSE(file_exists(path("work2")));
  EXPECT_EQ(test::wait_program(first), 0);
  // The lock went with the first run.
  EXPECT_EQ(test::run_program_in(dir(), test::program_path("quilm2splice"),
                                 {"-R" + test::source_path("examples/genome.fa"),
                                  "-D" + test::source_path("examples/reads.fq.gz"),
                                  "-O" + path("run"), "-W" + path("work"), "-C1", "-S7,7"})
                .status,
            0);
}

TEST_F(Faults, FullDiskIsReportedByTheDrivers) {
  // The read file of the first cycle, and the run log itself, on a full disk.
  fs::create_directories(path("work"));
  fs::create_symlink("/dev/full", path("work/0.fastq"));
  auto r = run(test::program_path("quilm2splice"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("0.fastq"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("No space left on device"), std::string::npos) << r.err;

  fs::remove(path("work/0.fastq"));
  fs::remove(path("config.txt"));
  fs::create_symlink("/dev/full", path("config.txt"));
  r = test::run_program_in(dir(), test::program_path("quilm2"),
                           {"-R" + test::source_path("examples/genome.fa"),
                            "-D" + test::source_path("examples/reads.fq.gz"), "-O" + path("o"),
                            "-W" + path("work"), "-C1"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("No space left on device"), std::string::npos) << r.err;
  EXPECT_FALSE(file_exists(path("o.config")));
}

TEST_F(Faults, DatasetThatIsNotFastqIsRefusedByRecord) {
  spit(path("notfastq.fq"), "@r1\nACGT\n+\nIIII\n>r2\nACGT\n+\nIIII\n");
  auto r = test::run_program_in(
      dir(), test::program_path("quilm2splice"),
      {"-R" + test::source_path("examples/genome.fa"), "-D" + path("notfastq.fq"),
       "-O" + path("run"), "-W" + path("work"), "-C1"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("record 2"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("notfastq.fq"), std::string::npos) << r.err;
  spit(path("noplus.fq"), "@r1\nACGT\nIIII\n@r2\n");
  r = test::run_program_in(
      dir(), test::program_path("quilm2splice"),
      {"-R" + test::source_path("examples/genome.fa"), "-D" + path("noplus.fq"), "-O" + path("run"),
       "-W" + path("work"), "-C1"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("'+'"), std::string::npos) << r.err;
}

TEST_F(Faults, UnusableReferenceOrPathIsRefusedBeforeAnyWork) {
  spit(path("reads.fq"), "@r1\nACGTACGTACGTACGT\n+\nIIIIIIIIIIIIIIII\n");
  const std::pair<std::string, std::string> refused[] = {
      {">chrA\nACGTACGT\n>chrC\nGGGG\n>chrB x\nTTTT\n>chrA y\nCCCC\n",
       "sequence name 'chrA' on line 7 repeats the name on line 1"},
      {">chrA\nACGTACGT\n> \nGGGG\n", "has a header line without a name (line 3)"}};
  for (const auto& [text, words] : refused) {
    spit(path("ref.fa"), text);
    auto r = test::run_program_in(dir(), test::program_path("quilm2splice"),
                                  {"-R" + path("ref.fa"), "-D" + path("reads.fq"),
                                   "-O" + path("run"), "-W" + path("work"), "-C1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("'" + path("ref.fa") + "'"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(words), std::string::npos) << r.err;
  }
  auto r = test::run_program_in(dir(), test::program_path("quilm2"),
                                {"-R" + path("ref.fa"), "-D" + path("reads.fq"), "-O" + path("run"),
                                 "-W" + path("work\nx"), "-C1"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("option -W: the path holds a line break"), std::string::npos) << r.err;
  EXPECT_FALSE(file_exists(path("work")));
  EXPECT_FALSE(file_exists(path("config.txt")));
}

TEST_F(Faults, SoftMaskedReferenceAndOddTogglesAreWarnedAbout) {
  spit(path("reads.fq"), "@r1\nACGTACGTACGTACGT\n+\nIIIIIIIIIIIIIIII\n");
  // 30 of 40 letters lower case; the N and '-' are letters or not as they are.
  spit(path("ref.fa"), ">soft\nacgtacgtacgtacgtacgtACGTACGTNN-\n>more\nacgtacgtac\n");
  auto start = [&](const std::string& extra) {
    return test::run_program_in(dir(), test::program_path("quilm2splice"),
                                {"-R" + path("ref.fa"), "-D" + path("reads.fq"), "-O" + path("run"),
                                 "-W" + path("work"), "-C1", "-S7,7", extra});
  };
  auto r = start("-B7");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("warning: 75.0% of the letters of reference"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("-M0"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("warning: option -B7: a toggle is 0 or 1"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("seed length 7 is not one of 14, 12, 10, 8, 6"), std::string::npos);
  r = start("-M0");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err.find("lower case"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("toggle"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace quilm
