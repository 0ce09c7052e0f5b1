// Whole runs with the seed index store: a run that builds and stores the
// indexes, one that reuses them, one with the store elsewhere and one with
// no store write the same bytes in every output and work result file, on a
// generated genome of several segments with repeats, N gaps and lower case.
#include <chrono>
#include <filesystem>
#include <map>
#include <random>
#include <sstream>
#include <thread>

#include "support/sequences.hpp"
#include "support/test_support.hpp"

namespace quilm {
namespace {

namespace fs = std::filesystem;
using test::slurp;
using test::spit;

using test::random_bases;

// Two chromosomes, 2.3 Mbp in all: with -F1 three segments. Repeats (exact
// and diverged copies), N gaps and soft-masked stretches.
std::string generated_genome(std::mt19937& rng) {
  std::string a = random_bases(rng, 900000);
  a += std::string(500, 'N') + a.substr(1000, 50000);  // exact repeat
  a += random_bases(rng, 30000, "acgt");               // masked
  std::string copy = a.substr(300000, 200000);
  for (char& c : copy)
    if (rng() % 30 == 0) c = "ACGT"[rng() % 4];
  const std::string b = random_bases(rng, 800000) + copy + random_bases(rng, 300000);
  std::string fasta = ">chrA first\n";
  for (std::size_t i = 0; i < a.size(); i += 70) fasta += a.substr(i, 70) + "\n";
  fasta += ">chrB\n";
  for (std::size_t i = 0; i < b.size(); i += 60) fasta += b.substr(i, 60) + "\n";
  return fasta;
}

// Reads from both chromosomes and strands, some with mismatches, some split
// by an intron, some from nowhere.
std::string generated_reads(std::mt19937& rng, const std::string& fasta) {
  std::string genome;
  std::istringstream in(fasta);
  for (std::string line; std::getline(in, line);)
    if (line[0] != '>') genome += line;
  std::string fq;
  for (int r = 0; r < 3000; ++r) {
    std::string read;
    const std::size_t at = rng() % (genome.size() - 3000);
    if (r % 5 == 0) {
      read = genome.substr(at, 50) + genome.substr(at + 50 + 200 + rng() % 2000, 50);
    } else if (r % 17 == 0) {
      read = random_bases(rng, 100);
    } else {
      read = genome.substr(at, 100);
      for (int m = rng() % 4; m > 0; --m) read[rng() % 100] = "ACGT"[rng() % 4];
    }
    for (char& c : read) c = static_cast<char>(std::toupper(c));
    fq += "@r" + std::to_string(r) + "\n" + read + "\n+\n" + std::string(read.size(), 'I') + "\n";
  }
  return fq;
}

class IndexStoreRuns : public test::TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    std::mt19937 rng(77);
    const std::string fasta = generated_genome(rng);
    spit(path("genome.fa"), fasta);
    spit(path("reads.fq"), generated_reads(rng, fasta));
  }
  // Runs quilm2splice in folder/, work folder folder/work; returns stderr.
  std::string run(const std::string& folder, const std::vector<std::string>& extra) {
    fs::create_directories(path(folder));
    std::vector<std::string> args = {"-R" + path("genome.fa"),
                                     "-D" + path("reads.fq"),
                                     "-O" + path(folder) + "/out",
                                     "-W" + path(folder) + "/work",
                                     "-C2",
                                     "-F1",
                                     "-S12,14",
                                     "-I1"};
    args.insert(args.end(), extra.begin(), extra.end());
    const auto r = test::run_program_in(path(folder), test::program_path("quilm2splice"), args);
    EXPECT_EQ(r.status, 0) << r.err;
    return r.err;
  }
  // Every output, every .r file and config.txt without times and paths.
  std::string results(const std::string& folder) {
    std::string all;
    for (const char* s : {"-quilm2high", "-quilm2low", "-quilm2mutil", "-splice-high",
                          "-splice-low", "-splice-mutil"})
      all += slurp(path(folder) + "/out" + s) + "|";
    for (int k = 1; k <= 3; ++k) all += slurp(path(folder) + "/work/" + std::to_string(k) + ".r");
    std::istringstream config(slurp(path(folder) + "/config.txt"));
    int line = 0;
    for (std::string l; std::getline(config, l); ++line)
      if (line >= 3) all += l.substr(0, l.find(':')) + "\n";
    return all;
  }
  static int index_files(const std::string& folder) {
    if (!fs::exists(folder)) return 0;
    int n = 0;
    for (const auto& e : fs::directory_iterator(folder)) n += e.path().extension() == ".idx";
    return n;
  }
};

TEST_F(IndexStoreRuns, StoredReusedElsewhereAndNoStoreWriteTheSameBytes) {
  run("none", {"--no-index-store"});
  EXPECT_FALSE(fs::exists(path("none/work/index")));
  const std::string expected = results("none");
  ASSERT_NE(expected.find("F\t"), std::string::npos);  // something was mapped

  run("store", {});
  EXPECT_EQ(results("store"), expected);
  // Seed 14 reduced for mapping and splicing, seed 12 full: three segments each.
  EXPECT_EQ(index_files(path("store/work/index")), 6);
  // Reused means no index file is written again (memos of checks may be added).
  auto index_times = [&] {
    std::map<std::string, fs::file_time_type> times;
    for (const auto& e : fs::directory_iterator(path("store/work/index")))
      if (e.path().extension() == ".idx") times[e.path().string()] = fs::last_write_time(e.path());
    return times;
  };
  const auto first = index_times();

  // Once the files have settled the rerun leaves memos of its checks beside
  // the indexes, and still writes no index.
  std::this_thread::sleep_for(std::chrono::milliseconds(2200));
  const std::string said = run("store", {});  // the same work folder: reused
  EXPECT_EQ(results("store"), expected);
  EXPECT_EQ(said.find("seed index store:"), std::string::npos) << said;
  EXPECT_EQ(index_times(), first);
  EXPECT_TRUE(fs::exists(first.begin()->first + ".checked"));

  run("elsewhere", {"--index-store=" + path("shared-indexes")});
  EXPECT_EQ(results("elsewhere"), expected);
  EXPECT_EQ(index_files(path("shared-indexes")), 6);
  EXPECT_FALSE(fs::exists(path("elsewhere/work/index")));
}

TEST_F(IndexStoreRuns, BadStoreOptionsAreRefused) {
  fs::create_directories(path("bad"));
  for (const char* option : {"--index-store=", "--index-stor=x", "--no-index"}) {
    const auto r =
        test::run_program_in(path("bad"), test::program_path("quilm2splice"),
                             {"-R" + path("genome.fa"), "-D" + path("reads.fq"),
                              "-O" + path("bad/out"), "-W" + path("bad/work"), "-C1", option});
    EXPECT_EQ(r.status, 1) << option;
    EXPECT_NE(r.err.find(option), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(path("bad/work"))) << option;
  }
}

}  // namespace
}  // namespace quilm
