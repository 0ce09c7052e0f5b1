// Faults injected into runs of the built programs: each must end with a
// message on stderr and a non-zero status, and never with output files that
// look complete. The runs map the bundled example with the reduced seed-14
// index (under 100 MiB per worker).
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <tuple>
#include <utility>
#include <vector>

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
    // With --bam the rescue stage runs too.
    for (const char* worker : {"junctor", "quilm_rescue"})
      if (!file_exists(bin + "/" + worker))
        fs::create_symlink(test::program_path(worker), bin + "/" + worker);
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
  // The work folder, and then the run log itself, on a full disk.
  {
    test::SmallDisk disk(path("work"), 1 << 20);
    if (!disk.mounted()) GTEST_SKIP() << "mounting a small disk needs root";
    disk.fill();
    auto r = run(test::program_path("quilm2splice"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(path("work")), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("No space left on device"), std::string::npos) << r.err;
  }
  test::SmallDisk disk(path("here"), 1 << 20);
  disk.fill();
  auto r = test::run_program_in(path("here"), test::program_path("quilm2"),
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

// An export that could not be written is refused before the mapping starts.
TEST_F(Faults, BamTargetThatCannotBeWrittenIsRefusedBeforeAnyWork) {
  spit(path("reads.fq"), "@r1\nACGTACGTACGTACGT\n+\nIIIIIIIIIIIIIIII\n");
  spit(path("ref.fa"), ">chrA\nACGTACGTACGTACGTACGTAAAACCCC\n");
  ASSERT_EQ(std::system(("gzip -c '" + path("ref.fa") + "' > '" + path("ref.fa.gz") + "'").c_str()),
            0);
  const std::string copy = driver_with_wrapper("", "");  // no quilm2sam beside it
  struct Case {
    std::string driver, ref, dataset, output, bam, words;
  };
  const std::string splice = test::program_path("quilm2splice");
  const Case cases[] = {
      {splice, "ref.fa", "reads.fq", "run", "missing/run.bam",
       "option --bam: cannot write '" + path("missing/run.bam") + "': folder"},
      {splice, "ref.fa", "reads.fq", "run.bam", "run.bam", "names the file of -O"},
      {test::program_path("quilm2"), "ref.fa", "-", "run", "run.bam",
       "the export reads the dataset '-' once more"},
      {splice, "ref.fa.gz", "reads.fq", "run", "run.cram", "which htslib cannot index"},
      {copy, "ref.fa", "reads.fq", "run", "run.bam", "bin/quilm2sam' is missing"},
  };
  for (const Case& c : cases) {
    auto r = test::run_program_in(
        dir(), c.driver,
        {"-R" + path(c.ref), "-D" + (c.dataset == "-" ? "-" : path(c.dataset)),
         "-O" + path(c.output), "-W" + path("work"), "-C1", "--bam=" + path(c.bam)});
    EXPECT_EQ(r.status, 1) << c.words;
    EXPECT_NE(r.err.find(c.words), std::string::npos) << r.err;
    EXPECT_FALSE(file_exists(path("work")));
    EXPECT_FALSE(file_exists(path("config.txt")));
  }
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

// Runs stopped from outside, shared work folders and full disks leave no
// worker behind and never a damaged earlier result.
class RunControl : public Faults {
 protected:
  std::vector<std::string> args(const std::string& output, const std::string& cores = "-C1") {
    return {"-R" + test::source_path("examples/genome.fa"),
            "-D" + test::source_path("examples/reads.fq.gz"), "-O" + output, "-W" + path("work"),
            cores};
  }
  static bool gone(int pid) {
    const std::string stat = "/proc/" + std::to_string(pid) + "/stat";
    const std::string state = file_exists(stat) ? slurp(stat) : "";
    const auto close = state.rfind(')');
    return state.empty() || (close != std::string::npos && state.substr(close + 2, 1) == "Z");
  }
  static bool gone_within_two_seconds(int pid) {
    for (int i = 0; i < 40 && !gone(pid); ++i) usleep(50000);
    return gone(pid);
  }
  std::vector<int> pids_in(const std::string& file, std::size_t count) {
    std::vector<int> pids;
    for (int i = 0; i < 200 && pids.size() < count; ++i) {
      usleep(50000);
      pids.clear();
      std::istringstream in(file_exists(file) ? slurp(file) : "");
      for (int pid; in >> pid;) pids.push_back(pid);
    }
    return pids;
  }
  void expect_no_temporaries(const std::string& folder) {
    for (const auto& entry : fs::directory_iterator(folder))
      EXPECT_EQ(entry.path().filename().string().find(".tmp."), std::string::npos) << entry.path();
  }
};

TEST_F(RunControl, SigtermStopsTheWorkersAndKeepsTheEarlierResult) {
  for (const char* suffix : kOutputs) spit(path(std::string("run") + suffix), "earlier\n");
  spit(path("run"), "earlier\n");
  const std::string driver =
      driver_with_wrapper("echo $$ >> \"" + path("pids") + "\"; exec sleep 60", "");
  const int pid = test::start_program_in(dir(), driver, args(path("run"), "-C2"));
  const std::vector<int> workers = pids_in(path("pids"), 2);
  ASSERT_EQ(workers.size(), 2u);
  ASSERT_EQ(kill(pid, SIGTERM), 0);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 143);
  for (int worker : workers) EXPECT_TRUE(gone_within_two_seconds(worker)) << worker;
  for (const char* suffix : kOutputs)
    EXPECT_EQ(slurp(path(std::string("run") + suffix)), "earlier\n");
  EXPECT_EQ(slurp(path("run")), "earlier\n");
  expect_no_temporaries(dir());
}

// The export runs once the outputs are in place: a stop ends it, a failure
// is reported, and neither leaves its unfinished files or takes the outputs.
TEST_F(RunControl, StoppedOrFailedExportLeavesTheOutputsAndNoPartFiles) {
  const std::string driver = driver_with_wrapper("", "");
  const std::string bam = path("run.bam");
  std::vector<std::string> with_bam = args(path("run"));
  with_bam.push_back("--bam=" + bam);
  for (const bool stop : {true, false}) {
    SCOPED_TRACE(stop ? "stopped" : "failed");
    fs::remove(path("pids"));
    test::write_script(path("bin/quilm2sam"), "touch \"" + bam + ".part$$\" \"" + bam +
                                                  ".part$$.run0.bam\"\necho $$ >> \"" +
                                                  path("pids") + "\"\n" +
                                                  (stop ? "exec sleep 60" : "exit 3") + "\n");
    if (stop) {
      const int pid = test::start_program_in(dir(), driver, with_bam);
      const std::vector<int> export_pid = pids_in(path("pids"), 1);
      ASSERT_EQ(export_pid.size(), 1u);
      ASSERT_EQ(kill(pid, SIGTERM), 0);
      EXPECT_EQ(test::wait_program(pid), 143);
      EXPECT_TRUE(gone_within_two_seconds(export_pid[0]));
    } else {
      const test::RunResult r = test::run_program_in(dir(), driver, with_bam);
      EXPECT_EQ(r.status, 1);
      EXPECT_NE(r.err.find("export to '" + bam + "': '" + path("bin/quilm2sam") +
                           "' exited with status 3"),
                std::string::npos)
          << r.err;
    }
    for (const char* suffix : kOutputs) EXPECT_TRUE(file_exists(path(std::string("run") + suffix)));
    for (const auto& entry : fs::directory_iterator(dir()))
      EXPECT_EQ(entry.path().filename().string().find("run.bam"), std::string::npos)
          << entry.path();
  }
}

TEST_F(RunControl, WorkerEndsWithTheProcessThatStartedIt) {
  // The worker waits for its run log, a pipe nobody writes; its parent is
  // then killed outright.
  ASSERT_EQ(mkfifo(path("config.txt").c_str(), 0600), 0);
  const int parent = test::start_program_in(
      dir(), "/bin/sh",
      {"-c", "\"" + test::program_path("quilm_x") + "\" 14 0 & echo $! > pid; wait"});
  const std::vector<int> worker = pids_in(path("pid"), 1);
  ASSERT_EQ(worker.size(), 1u);
  // Until the worker blocks in the open, it may not yet have asked to end
  // with its parent.
  for (int i = 0; i < 100; ++i) {
    const std::string stat = slurp("/proc/" + std::to_string(worker[0]) + "/stat");
    if (stat.find("(quilm_x) S") != std::string::npos) break;
    usleep(20000);
  }
  ASSERT_EQ(kill(parent, SIGKILL), 0);
  test::wait_program(parent);
  EXPECT_TRUE(gone_within_two_seconds(worker[0]));
  if (!gone(worker[0])) kill(worker[0], SIGKILL);
}

// The export, when a driver started it, ends with the driver like the
// workers, removes what it staged and never puts its file in place; run by
// hand it does not.
TEST_F(RunControl, ExportStartedByADriverEndsWithIt) {
  // The export waits for its dataset, a pipe nobody writes; the shell that
  // started it, naming itself as a driver does, is then killed outright.
  ASSERT_EQ(mkfifo(path("reads.fq").c_str(), 0600), 0);
  spit(path("ref.fa"), ">chr1\nACGTACGTAC\n");
  spit(path("run"), "");
  const std::string exported =
      "\"" + test::program_path("quilm2sam") +
      "\" -Rref.fa -Dreads.fq -Orun --run-kind=mapping --unmapped -o run.bam";
  const auto start_export = [&](const std::string& variable) {
    fs::remove(path("pid"));
    const int parent = test::start_program_in(
        dir(), "/bin/sh", {"-c", variable + " " + exported + " & echo $! > pid; wait"});
    const std::vector<int> pid = pids_in(path("pid"), 1);
    EXPECT_EQ(pid.size(), 1u);
    for (int i = 0; i < 100 && !pid.empty(); ++i) {
      const std::string stat = slurp("/proc/" + std::to_string(pid[0]) + "/stat");
      if (stat.find("(quilm2sam) S") != std::string::npos) break;
      usleep(20000);
    }
    return std::pair{parent, pid.empty() ? 0 : pid[0]};
  };
  auto [parent, exporter] = start_export("QUILM_END_WITH_PARENT=$$");
  ASSERT_GT(exporter, 0);
  // A first read lets it stage its output; the pipe then stays open.
  const int writer = ::open(path("reads.fq").c_str(), O_WRONLY);
  ASSERT_GE(writer, 0);
  const std::string first = "@r1\nACGTACGTAC\n+\nIIIIIIIIII\n@r2\n";
  ASSERT_EQ(::write(writer, first.data(), first.size()), static_cast<ssize_t>(first.size()));
  const std::string staged = path("run.bam.part" + std::to_string(exporter));
  for (int i = 0; i < 100 && !file_exists(staged); ++i) usleep(20000);
  EXPECT_TRUE(file_exists(staged));
  ASSERT_EQ(kill(parent, SIGKILL), 0);
  test::wait_program(parent);
  EXPECT_TRUE(gone_within_two_seconds(exporter));
  if (!gone(exporter)) kill(exporter, SIGKILL);
  ::close(writer);
  for (const auto& entry : fs::directory_iterator(dir()))
    EXPECT_EQ(entry.path().filename().string().find("run.bam"), std::string::npos) << entry.path();
  fs::remove(path("reads.fq"));
  ASSERT_EQ(mkfifo(path("reads.fq").c_str(), 0600), 0);

  // A variable that names another process than the parent: that driver has
  // ended already, so the export ends at once.
  const test::RunResult late =
      test::run_program_in(dir(), "/bin/sh", {"-c", "QUILM_END_WITH_PARENT=1 " + exported});
  EXPECT_EQ(late.status, 128 + SIGTERM) << late.err;
  EXPECT_FALSE(file_exists(path("run.bam")));

  // Run by hand: it outlives the shell that started it.
  std::tie(parent, exporter) = start_export("");
  ASSERT_GT(exporter, 0);
  ASSERT_EQ(kill(parent, SIGKILL), 0);
  test::wait_program(parent);
  usleep(500000);
  EXPECT_FALSE(gone(exporter));
  kill(exporter, SIGKILL);
}

// The driver names itself to the export it starts.
TEST_F(RunControl, DriverAsksTheExportToEndWithIt) {
  const std::string driver = driver_with_wrapper("", "");
  test::write_script(path("bin/quilm2sam"),
                     "echo \"$QUILM_END_WITH_PARENT $PPID\" > \"" + path("export-env") + "\"\n");
  std::vector<std::string> with_bam = args(path("run"));
  with_bam.push_back("--bam=" + path("run.bam"));
  const test::RunResult r = test::run_program_in(dir(), driver, with_bam);
  EXPECT_EQ(r.status, 0) << r.err;
  std::istringstream said(slurp(path("export-env")));
  std::string named, parent;
  said >> named >> parent;
  EXPECT_FALSE(named.empty());
  EXPECT_EQ(named, parent);
}

TEST_F(RunControl, SecondRunSharingTheWorkFolderFromAnotherDirectoryStopsAtOnce) {
  const std::string slow = driver_with_wrapper("sleep 3", "");
  const int first = test::start_program_in(dir(), slow, args(path("run")));
  for (int i = 0; i < 100 && !file_exists(path("work/taskmpi.txt")); ++i) usleep(50000);
  fs::create_directories(path("elsewhere"));
  auto second = test::run_program_in(path("elsewhere"), test::program_path("quilm2splice"),
                                     args(path("elsewhere/run")));
  EXPECT_EQ(second.status, 1);
  EXPECT_NE(second.err.find("work folder '" + path("work") + "'"), std::string::npos) << second.err;
  EXPECT_NE(second.err.find("started in " + dir()), std::string::npos) << second.err;
  ASSERT_EQ(test::wait_program(first), 0);
  // The first run's results are those of a run alone.
  fs::create_directories(path("alone"));
  ASSERT_EQ(test::run_program_in(path("alone"), test::program_path("quilm2splice"),
                                 {"-R" + test::source_path("examples/genome.fa"),
                                  "-D" + test::source_path("examples/reads.fq.gz"),
                                  "-O" + path("alone/run"), "-W" + path("alone/work"), "-C1"})
                .status,
            0);
  for (const char* suffix : kOutputs)
    EXPECT_TRUE(slurp(path(std::string("run") + suffix)) ==
                slurp(path(std::string("alone/run") + suffix)))
        << suffix;
}

TEST_F(RunControl, FullDiskWhileTheOutputsAreWrittenKeepsTheEarlierOnes) {
  test::SmallDisk disk(path("out"), 2 << 20);
  if (!disk.mounted()) GTEST_SKIP() << "mounting a small disk needs root";
  for (const char* driver : {"quilm2splice", "quilm2"}) {
    disk.empty();
    const std::vector<std::string> outputs =
        std::string(driver) == "quilm2"
            ? std::vector<std::string>{"run", "run.config"}
            : std::vector<std::string>(std::begin(kOutputs), std::end(kOutputs));
    const auto name = [&](const std::string& o) {
      return path("out/") + (o[0] == '-' ? "run" + o : o);
    };
    ASSERT_EQ(test::run_program_in(dir(), test::program_path(driver), args(path("out/run"))).status,
              0);
    std::vector<std::string> before;
    for (const std::string& o : outputs) before.push_back(slurp(name(o)));
    disk.fill();
    auto r = test::run_program_in(dir(), test::program_path(driver), args(path("out/run")));
    EXPECT_EQ(r.status, 1) << driver;
    EXPECT_NE(r.err.find("No space left on device"), std::string::npos) << r.err;
    for (std::size_t i = 0; i < outputs.size(); ++i)
      EXPECT_TRUE(slurp(name(outputs[i])) == before[i]) << driver << " " << outputs[i];
    expect_no_temporaries(path("out"));
  }
}

}  // namespace
}  // namespace quilm
