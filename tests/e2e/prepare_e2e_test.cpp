// Runs the built splice driver and checks every file its preparation writes.
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "common/input_file.hpp"
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

// A reference is trusted unchanged only once its times lie two seconds back.
void let_settle() {
  std::this_thread::sleep_for(std::chrono::milliseconds(2100));
}

TEST_F(PrepareRun, ARerunOnAnUnchangedReferenceDoesNotReadItAgain) {
  // Mostly lower case: with -M1 every run warns, from the summary it keeps.
  spit(path("ref.fa"), ">chr1 the first\nacgtacgtaaccggttaaACGT\n>chr2\nggggNNNNcc\n");
  let_settle();
  const std::string work = path("w");
  const std::string segment = work + "/1.txt";
  auto cut = [&](const std::string& extra = "-L100") {
    auto r = run({"-R" + path("ref.fa"), "-D" + path("reads.fq"), "-O" + path("out"), "-W" + work,
                  "-C1", "-S7", "-M1", extra});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("lower case (soft-masked)"), std::string::npos) << r.err;
    return r.out.find("has not changed since the last run and is not read again") !=
           std::string::npos;
  };
  // The run stamp's hash of the reference: read from the file, or the memo's.
  auto reference_hash = [&] {
    const std::string stamp = slurp(path("out-run"));
    const std::size_t at = stamp.find("reference\t");
    return stamp.substr(at, stamp.find('\t', at + 10) - at);
  };
  EXPECT_FALSE(cut());
  EXPECT_TRUE(file_exists(work + "/reference_memo.txt"));
  const std::string hash = reference_hash();
  const std::string index = slurp(work + "/fast_index.txt");
  struct stat before {};
  ASSERT_EQ(::stat(segment.c_str(), &before), 0);
  EXPECT_TRUE(cut());
  EXPECT_EQ(reference_hash(), hash);
  struct stat after {};
  ASSERT_EQ(::stat(segment.c_str(), &after), 0);
  EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
  EXPECT_EQ(slurp(work + "/fast_index.txt"), index);

  // Another cut, or a work file changed behind the run's back, is cut again.
  EXPECT_FALSE(cut("-L50"));
  const std::string bases = slurp(segment);
  spit(segment, std::string(bases.size(), 'T'));
  EXPECT_FALSE(cut("-L50"));
  EXPECT_EQ(slurp(segment), bases);

  // A changed reference is read again; rewritten just now, it is not
  // remembered until it has settled.
  spit(path("ref.fa"), ">chr1 the first\nacgtacgtaaccggttaaTTTT\n>chr2\nggggNNNNcc\n");
  EXPECT_FALSE(cut("-L50"));
  EXPECT_EQ(slurp(segment), "acgtacgtaaccggttaaTTTTNggggNNNNcc");
  EXPECT_NE(reference_hash(), hash);
  EXPECT_FALSE(file_exists(work + "/reference_memo.txt"));
  EXPECT_FALSE(cut("-L50"));
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
      {"-R-", "-R: the reference '-' is read twice"},
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

const char* const kOutputs[] = {"-quilm2high",  "-quilm2low",  "-quilm2mutil",
                                "-splice-high", "-splice-low", "-splice-mutil"};

// Whole runs on the bundled example, each in a folder of its own with the
// same relative paths, so that their files can be compared byte for byte.
class DatasetStreams : public test::TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    reads_ = read_whole_file(test::source_path("examples/reads.fq.gz"));
    spit(path("reads.fq"), reads_);
  }
  // Runs the splice driver in `folder` through the shell, with `dataset` as
  // -D and `before` in front of it (a redirection or a pipe into it).
  test::RunResult run(const std::string& folder, const std::string& dataset,
                      const std::string& before = "") {
    std::filesystem::create_directories(path(folder));
    return test::run_program_in(path(folder), "/bin/sh",
                                {"-c", before + "'" + test::program_path("quilm2splice") + "' -R'" +
                                           test::source_path("examples/genome.fa") + "' -D'" +
                                           dataset + "' -Oout -Wwork -C2"});
  }
  std::string outputs(const std::string& folder) {
    std::string all = slurp(path(folder + "/work/0.fastq"));
    for (const char* suffix : kOutputs) all += slurp(path(folder + "/out" + suffix));
    return all;
  }
  std::string reads_;
};

TEST_F(DatasetStreams, FifoStandardInputAndGzipPipeGiveTheFilesResults) {
  ASSERT_EQ(run("file", path("reads.fq")).status, 0);
  const std::string expected = outputs("file");
  ASSERT_GT(expected.size(), 100000u);

  ASSERT_EQ(mkfifo(path("reads.fifo").c_str(), 0600), 0);
  auto r = run("fifo", path("reads.fifo"),
               "(cat '" + path("reads.fq") + "' > '" + path("reads.fifo") + "' &); ");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(outputs("fifo"), expected);

  r = run("stdin", "-", "cat '" + test::source_path("examples/reads.fq.gz") + "' | ");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(outputs("stdin"), expected);
  // The paths and numbers of config.txt, before its time lines.
  const auto head = [](const std::string& config) {
    std::size_t end = 0;
    for (int line = 0; line < 5; ++line) end = config.find('\n', end) + 1;
    return config.substr(0, end);
  };
  EXPECT_EQ(head(slurp(path("stdin/config.txt"))), head(slurp(path("file/config.txt"))));
}

TEST_F(DatasetStreams, ReadOfLengthZeroKeepsTheNumberingAndIsReported) {
  // After read 100, a read of length 0: the reads after it move up by one.
  std::size_t cut = 0;
  for (int line = 0; line < 400; ++line) cut = reads_.find('\n', cut) + 1;
  spit(path("gap.fq"), reads_.substr(0, cut) + "@empty\n\n+\n\n" + reads_.substr(cut));
  auto r = run("file", path("reads.fq"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err.find("length 0"), std::string::npos) << r.err;
  r = run("gap", path("gap.fq"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("quilm2splice: 1 reads of length 0 cannot map\n"), std::string::npos)
      << r.err;
  // Every record's first line starts with its read number.
  const auto renumbered = [](const std::string& text) {
    std::string out;
    std::size_t at = 0;
    for (bool first = true; at < text.size(); first = !first) {
      const std::size_t end = text.find('\n', at) + 1;
      std::string line = text.substr(at, end - at);
      const std::size_t tab = line.find('\t');
      if (first && std::stol(line.substr(0, tab)) > 101)
        line = std::to_string(std::stol(line.substr(0, tab)) - 1) + line.substr(tab);
      out += line;
      at = end;
    }
    return out;
  };
  for (const char* suffix : kOutputs)
    EXPECT_EQ(renumbered(slurp(path(std::string("gap/out") + suffix))),
              slurp(path(std::string("file/out") + suffix)))
        << suffix;
  EXPECT_EQ(slurp(path("gap/work/0.fastq")).find("\n101\t"), std::string::npos);
}

}  // namespace
}  // namespace quilm
