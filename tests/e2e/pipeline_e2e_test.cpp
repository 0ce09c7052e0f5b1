// End-to-end runs of the drivers with their seed-14 workers (the reduced
// index: about 130 MiB per worker process on these genomes).
#include <sys/stat.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <sstream>

#include "support/test_support.hpp"

namespace quilm {
namespace {

using test::file_exists;
using test::slurp;
using test::spit;

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  return lines;
}

class Pipeline : public test::TempDirTest {
 protected:
  test::RunResult run(const std::string& folder, const std::string& program,
                      std::vector<std::string> args) {
    std::filesystem::create_directories(folder);
    return test::run_program_in(folder, program, args);
  }
  std::vector<std::string> example_args(const std::string& folder, const std::string& extra) {
    return {"-R" + test::source_path("examples/genome.fa"),
            "-D" + test::source_path("examples/reads.fq.gz"), "-O" + folder + "/out",
            "-W" + folder + "/work", extra};
  }
};

// Exact and lightly mutated unspliced reads land where they came from.
TEST_F(Pipeline, MappingOnlyDriverPlacesReadsOfKnownOrigin) {
  auto r = run(path("a"), test::program_path("quilm2"), example_args(path("a"), "-C2"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("finished in"), std::string::npos);
  const std::string out = slurp(path("a/out"));
  std::map<int, std::string> placed;  // read -> "strand chromosome position"
  auto ls = lines_of(out);
  for (std::size_t i = 0; i + 1 < ls.size(); i += 2) {
    int read = std::stoi(ls[i]);
    std::istringstream f(ls[i + 1]);
    std::string strand, chr, errors, pos;
    f >> strand >> chr >> errors >> pos;
    EXPECT_FALSE(placed.count(read)) << "read " << read << " written twice without -A";
    placed[read] = strand + " " + chr + " " + pos;
  }
  int expected = 0, agree = 0;
  for (const std::string& l : lines_of(slurp(test::source_path("examples/reads.truth.tsv")))) {
    std::istringstream f(l);
    std::string read, chr, pos, strand, cigar, nsub, nn, indel;
    f >> read >> chr >> pos >> strand >> cigar >> nsub >> nn >> indel;
    if (read[0] == '#' || cigar != "100M" || indel != "-" || std::stoi(nsub) + std::stoi(nn) > 2)
      continue;
    ++expected;
    agree += placed[std::stoi(read)] == (strand == "+" ? "F " : "R ") + chr + " " + pos;
  }
  EXPECT_GT(expected, 1500);
  EXPECT_GT(agree, expected * 95 / 100) << agree << " of " << expected;
  const std::string config = slurp(path("a/config.txt"));
  EXPECT_EQ(slurp(path("a/out.config")), config);
  EXPECT_NE(config.find("total match position number: " + std::to_string(placed.size()) + "\n"),
            std::string::npos);
  EXPECT_NE(config.find("The total Time : "), std::string::npos);
}

TEST_F(Pipeline, WorkerFailuresEndTheRunWithAClearMessage) {
  // A driver copy whose neighbouring worker crashes, and one without a worker.
  for (const char* kind : {"crash", "missing"}) {
    const std::string bin = path(std::string(kind) + "-bin");
    std::filesystem::create_directories(bin);
    std::filesystem::copy_file(test::program_path("quilm2"), bin + "/quilm2");
    if (std::string(kind) == "crash") {
      spit(bin + "/quilm_x", "#!/bin/sh\n[ \"$2\" = 1 ] && kill -SEGV $$\nexit 0\n");
      chmod((bin + "/quilm_x").c_str(), 0755);
    }
    auto r = run(path(kind), bin + "/quilm2", example_args(path(kind), "-C2"));
    EXPECT_NE(r.status, 0) << kind;
    EXPECT_NE(r.err.find("mapping cycle with seed 14"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(std::string(kind) == "crash" ? "worker process 1" : "missing"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(slurp(path(std::string(kind) + "/out")), "");
  }
}

// --help and --version anywhere on a command line are answered on stdout
// before anything else: no banner, no warning, no refusal, no file.
TEST_F(Pipeline, EveryProgramAnswersHelpAndVersion) {
  const std::regex version_line(
      R"(([a-z0-9_]+) [0-9]+\.[0-9]+\.[0-9]+( \(commit [0-9a-f]{7,}(-dirty)?\))?\n)");
  std::set<std::string> versions;
  for (const char* program : {"quilm2splice", "quilm2", "quilm_x", "junctor", "annoprep", "refjunc",
                              "tailfetch", "quilm2sam"}) {
    const std::string bin = test::program_path(program);
    // Other arguments, known or not, good or bad, do not count.
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--help"}, {"-p4", "--help", "-Rx", "--bogus"}, {"7", "--help", "--version"}}) {
      auto r = run(path(program), bin, args);
      EXPECT_EQ(r.status, 0) << program;
      EXPECT_EQ(r.err, "") << program;
      // A usage line first, an example last.
      EXPECT_EQ(r.out.find("sage: " + std::string(program) + " "), 1u) << r.out;
      EXPECT_NE(r.out.find("\nExample: " + std::string(program) + " "), std::string::npos) << r.out;
      EXPECT_TRUE(r.out.ends_with("\n")) << program;
    }
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--version"}, {"-C0", "--version", "--help", "--nothing"}}) {
      auto r = run(path(program), bin, args);
      EXPECT_EQ(r.status, 0) << program;
      EXPECT_EQ(r.err, "") << program;
      std::smatch m;
      ASSERT_TRUE(std::regex_match(r.out, m, version_line)) << program << ": " << r.out;
      EXPECT_EQ(m[1], program);
      versions.insert(r.out.substr(r.out.find(' ')));
    }
    EXPECT_TRUE(std::filesystem::is_empty(path(program))) << program;
  }
  EXPECT_EQ(versions.size(), 1u) << "one version for every program";
}

void write_genome(const std::string& path, int chromosomes, int length, std::mt19937& rng) {
  std::ofstream out(path);
  const char* bases = "ACGT";
  for (int c = 1; c <= chromosomes; ++c) {
    out << ">c" << c << " generated\n";
    for (int i = 0; i < length; ++i) out << bases[rng() % 4] << ((i + 1) % 70 == 0 ? "\n" : "");
    out << "\n";
  }
}

// The same run with one and with three processes, and through a real MPI
// launcher, writes the same bytes.
TEST_F(Pipeline, OutputsDoNotDependOnProcessesOrLaunchWay) {
  std::mt19937 rng(11);
  write_genome(path("g.fa"), 3, 900000, rng);  // three segments of 1 MiB with -F1
  std::string genome;
  for (const std::string& l : lines_of(slurp(path("g.fa"))))
    if (l[0] != '>') genome += l;
  std::ofstream fq(path("r.fq"));
  for (int i = 0; i < 600; ++i) {
    // Every third read is short with two mismatches that break all of its
    // 14-base seeds but not its middle 12-base seed: it is left to seed 12.
    const bool short_read = i % 3 == 0;
    std::string s = genome.substr(rng() % (genome.size() - 60), short_read ? 36 : 60);
    if (short_read) {
      s[7] = s[7] == 'A' ? 'C' : 'A';
      s[25] = s[25] == 'G' ? 'T' : 'G';
    }
    fq << "@r" << i << "\n" << s << "\n+\n" << std::string(s.size(), 'I') << "\n";
  }
  fq.close();
  auto args = [&](const std::string& folder, const std::string& cores) {
    return std::vector<std::string>{"-R" + path("g.fa"),
                                    "-D" + path("r.fq"),
                                    "-O" + folder + "/o",
                                    "-W" + folder + "/w",
                                    "-F1",
                                    "-S12",
                                    cores};
  };
  const std::string driver = test::program_path("quilm2splice");
  ASSERT_EQ(run(path("one"), driver, args(path("one"), "-C1")).status, 0);
  ASSERT_EQ(run(path("three"), driver, args(path("three"), "-C3")).status, 0);
  EXPECT_EQ(slurp(path("one/w/taskmpi.txt")), "0 0 0 ");
  EXPECT_EQ(slurp(path("three/w/taskmpi.txt")), "0 1 2 ");
  for (const char* f : {"w/quilm2.tmp", "w/14.fastq", "w/12.fastq", "w/fast_index.txt"})
    EXPECT_EQ(slurp(path(std::string("one/") + f)), slurp(path(std::string("three/") + f))) << f;
  EXPECT_GT(slurp(path("one/w/quilm2.tmp")).size(), 1000u);
  EXPECT_GT(slurp(path("one/w/14.fastq")).size(), 1000u);

  const char* mpirun = "/usr/bin/mpirun";
  if (!file_exists(mpirun)) GTEST_SKIP() << "no MPI launcher installed (openmpi-bin)";
  std::filesystem::create_directories(path("mpi"));
  spit(path("mpi/mpipathway.txt"),
       std::string(mpirun) + "  \r\n--allow-run-as-root --oversubscribe\n");
  auto r = run(path("mpi"), driver, args(path("mpi"), "-C3"));
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char* f : {"w/quilm2.tmp", "w/14.fastq", "w/12.fastq"})
    EXPECT_EQ(slurp(path(std::string("three/") + f)), slurp(path(std::string("mpi/") + f))) << f;
  // The run logs differ only in their three path lines and time values.
  auto body = [](const std::string& config) {
    auto ls = lines_of(test::without_times(config));
    return std::vector<std::string>(ls.begin() + 3, ls.end());
  };
  EXPECT_EQ(body(slurp(path("three/config.txt"))), body(slurp(path("mpi/config.txt"))));
}

}  // namespace
}  // namespace quilm
