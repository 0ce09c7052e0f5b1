// Runs in which idle worker processes share the reads of a segment write the
// same bytes as runs with one process: every result file of the work folder,
// the merged files and the outputs. The seed-14 workers use the reduced
// index (under 100 MiB each on these genomes), so several at once need no
// large memory.
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "support/sequences.hpp"
#include "support/test_support.hpp"

namespace quilm {
namespace {

using test::file_exists;
using test::slurp;
using test::spit;

namespace fs = std::filesystem;

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  return lines;
}

class ReadSharingRun : public test::TempDirTest {
 protected:
  // Chromosomes of 900,000 random bases: one segment each with -F1.
  void write_data(int chromosomes, std::mt19937& rng) {
    std::string genome;
    std::ofstream fa(path("g.fa"));
    for (int c = 1; c <= chromosomes; ++c) {
      std::string chr;
      for (int i = 0; i < 900000; ++i) chr += "ACGT"[rng() % 4];
      fa << ">c" << c << "\n";
      for (std::size_t i = 0; i < chr.size(); i += 70) fa << chr.substr(i, 70) << "\n";
      genome += chr;
    }
    fa.close();
    std::ofstream fq(path("r.fq"));
    for (int i = 0; i < 900; ++i) {
      std::string s;
      if (i % 3 == 0) {
        // Two mismatches that break every 14-base seed of a 36-base read:
        // left to the seed-12 cycle.
        s = genome.substr(rng() % (genome.size() - 36), 36);
        s[7] = s[7] == 'A' ? 'C' : 'A';
        s[25] = s[25] == 'G' ? 'T' : 'G';
      } else if (i % 3 == 1) {
        // Two exons around an intron of 300 to 2,000 bases, which the splice
        // stage gets since the cascade cannot place them.
        const std::size_t at = rng() % (genome.size() - 2200);
        s = genome.substr(at, 45) + genome.substr(at + 45 + 300 + rng() % 1700, 55);
      } else {
        s = genome.substr(rng() % (genome.size() - 60), 60);
        if (rng() % 2) s = test::reverse_complement_of(s);
      }
      fq << "@r" << i << "\n" << s << "\n+\n" << std::string(s.size(), 'I') << "\n";
    }
  }

  test::RunResult run(const std::string& name, const std::string& program,
                      std::vector<std::string> extra) {
    fs::create_directories(path(name));
    std::vector<std::string> args = {"-R" + path("g.fa"), "-D" + path("r.fq"),
                                     "-O" + path(name + "/o"), "-W" + path(name + "/w"), "-F1"};
    args.insert(args.end(), extra.begin(), extra.end());
    return test::run_program_in(path(name), test::program_path(program), args);
  }

  // Every file of the two runs but the assignment, the share plan, the index
  // store and the run log (and its copy) is byte-identical; no part file is
  // left.
  void expect_same_files(const std::string& a, const std::string& b) {
    int compared = 0;
    for (const auto& entry : fs::recursive_directory_iterator(path(a))) {
      if (!entry.is_regular_file()) continue;
      const std::string rel = fs::relative(entry.path(), path(a)).string();
      EXPECT_EQ(rel.find(".part"), std::string::npos) << rel;
      // The index store (and its setting, which names it) lies in the work
      // folder; its files do not depend on the process count. The reference
      // memo holds the stamps of the folder's own files.
      if (rel == "w/taskmpi.txt" || rel == "w/sliceplan.txt" || rel == "w/run.lock" ||
          rel == "w/reference_memo.txt" || rel == "config.txt" || rel == "o.config" ||
          rel.rfind("w/index", 0) == 0)
        continue;
      ASSERT_TRUE(file_exists(path(b + "/" + rel))) << rel;
      EXPECT_TRUE(slurp(entry.path().string()) == slurp(path(b + "/" + rel))) << a << " " << rel;
      ++compared;
    }
    EXPECT_GE(compared, 8);
    // The run logs differ only in their paths, the process count and times.
    auto stats = [](const std::string& config) {
      std::vector<std::string> out;
      for (const std::string& l : lines_of(config))
        if (l.rfind("The", 0) == 0 && l.find("Time") == std::string::npos) out.push_back(l);
      return out;
    };
    EXPECT_EQ(stats(slurp(path(a + "/config.txt"))), stats(slurp(path(b + "/config.txt"))));
    EXPECT_GE(stats(slurp(path(a + "/config.txt"))).size(), 2u);
  }
};

TEST_F(ReadSharingRun, OneSegmentSharedByThreeProcessesWritesTheSameBytes) {
  std::mt19937 rng(5);
  write_data(1, rng);
  ASSERT_EQ(run("one", "quilm2splice", {"-C1", "-S12"}).status, 0);
  auto r = run("three", "quilm2splice", {"-C3", "-S12"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(slurp(path("three/w/taskmpi.txt")), "0 ");
  EXPECT_EQ(slurp(path("three/w/sliceplan.txt")), "1 0 1 2\n");
  EXPECT_NE(r.err.find("2 of them help with the reads of 1 segment"), std::string::npos) << r.err;
  expect_same_files("one", "three");
  EXPECT_GT(slurp(path("one/w/quilm2.tmp")).size(), 10000u);
  EXPECT_GT(slurp(path("one/w/14.fastq")).size(), 1000u);
  EXPECT_GT(slurp(path("one/w/splice.tmp")).size(), 1000u);

  // The mapping-only driver, whose last cycle leaves the seed-12 result
  // files, with indels and every hit exported.
  ASSERT_EQ(run("one-map", "quilm2", {"-C1", "-S12", "-I1", "-A1"}).status, 0);
  ASSERT_EQ(run("three-map", "quilm2", {"-C3", "-S12", "-I1", "-A1"}).status, 0);
  expect_same_files("one-map", "three-map");
  EXPECT_GT(slurp(path("one-map/w/1.r")).size(), 1000u);

  // Through an MPI launcher the ranks take the slices.
  const char* mpirun = "/usr/bin/mpirun";
  if (!file_exists(mpirun)) GTEST_SKIP() << "no MPI launcher installed (openmpi-bin)";
  fs::create_directories(path("mpi"));
  spit(path("mpi/mpipathway.txt"), std::string(mpirun) + "\n--allow-run-as-root --oversubscribe\n");
  r = run("mpi", "quilm2splice", {"-C3", "-S12"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(slurp(path("mpi/w/sliceplan.txt")), "1 0 1 2\n");
  fs::remove(path("mpi/mpipathway.txt"));
  expect_same_files("one", "mpi");
}

TEST_F(ReadSharingRun, TwoSegmentsShareTheOneIdleProcess) {
  std::mt19937 rng(8);
  write_data(2, rng);
  ASSERT_EQ(run("one", "quilm2splice", {"-C1", "-S12"}).status, 0);
  ASSERT_EQ(run("three", "quilm2splice", {"-C3", "-S12"}).status, 0);
  EXPECT_EQ(slurp(path("three/w/taskmpi.txt")), "0 1 ");
  // Segment 1 is the full one; segment 2 is a little shorter.
  EXPECT_EQ(slurp(path("three/w/sliceplan.txt")), "1 0 2\n");
  expect_same_files("one", "three");
}

TEST_F(ReadSharingRun, ThreeSegmentsForTwoProcessesAreSharedByBoth) {
  std::mt19937 rng(13);
  write_data(3, rng);
  ASSERT_EQ(run("one", "quilm2splice", {"-C1", "-S12"}).status, 0);
  auto r = run("two", "quilm2splice", {"-C2", "-S12"});
  ASSERT_EQ(r.status, 0) << r.err;
  // Whole segments would leave process 0 with two of the three.
  EXPECT_EQ(slurp(path("two/w/taskmpi.txt")), "0 1 0 ");
  EXPECT_EQ(slurp(path("two/w/sliceplan.txt")), "1 0 1\n2 0 1\n3 0 1\n");
  EXPECT_NE(r.err.find("each maps its share of the reads of all 3 segments"), std::string::npos)
      << r.err;
  EXPECT_EQ(r.out.find("already in place"), std::string::npos) << r.out;
  expect_same_files("one", "two");

  // A rerun on the same work folder keeps the segment files it finds there.
  r = run("two", "quilm2splice", {"-C2", "-S12"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("3 of 3 segment files were already in place"), std::string::npos) << r.out;
  expect_same_files("one", "two");
}

}  // namespace
}  // namespace quilm
