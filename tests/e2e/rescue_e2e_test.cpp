// The rescue stage of quilm2splice --rescue: hand-built reads of each kind
// placed exactly, the bundled example scored against its truth, the default
// outputs untouched, the same rescue file for any number of processes, and
// bad junction files refused before the run.
#include <filesystem>
#include <map>
#include <random>
#include <sstream>

#include "support/test_support.hpp"

namespace quilm {
namespace {

using test::slurp;
using test::spit;

constexpr const char* kSixFiles[] = {"-quilm2high",  "-quilm2low",  "-quilm2mutil",
                                     "-splice-high", "-splice-low", "-splice-mutil"};

std::vector<std::string> fields_of(const std::string& line) {
  std::vector<std::string> f;
  std::istringstream in(line);
  for (std::string w; std::getline(in, w, '\t');) f.push_back(w);
  return f;
}

// Read number -> the fields of its rescued alignments; the file starts
// with the run number of the run it belongs to.
std::map<int, std::vector<std::vector<std::string>>> rescued(const std::string& path) {
  std::map<int, std::vector<std::vector<std::string>>> out;
  std::istringstream in(slurp(path));
  std::string header;
  std::getline(in, header);
  EXPECT_TRUE(header.starts_with("#run\t") && header.size() == 21) << path << ": " << header;
  for (std::string line; std::getline(in, line);) {
    auto f = fields_of(line);
    out[std::stoi(f[0])].push_back(f);
  }
  return out;
}

class RescueRuns : public test::TempDirTest {
 protected:
  test::RunResult run(const std::string& folder, std::vector<std::string> args) {
    std::filesystem::create_directories(folder);
    args.insert(args.end(), {"-O" + folder + "/out", "-W" + folder + "/work"});
    return test::run_program_in(folder, test::program_path("quilm2splice"), args);
  }
  std::vector<std::string> example(const std::string& processes) {
    return {"-R" + test::source_path("examples/genome.fa"),
            "-D" + test::source_path("examples/reads.fq.gz"), processes};
  }
};

// Random bases; exons [1000, 1200), [3000, 3025), [5000, 5300) of t1 and
// [10000, 10300), [12000, 12300) of t2, with GT..AG introns between them.
std::string hand_built_genome() {
  std::mt19937 random(2024);
  std::string g(40000, 'A');
  for (char& c : g) c = "ACGT"[random() % 4];
  const auto put = [&](std::size_t at, std::string_view bases) {
    for (char c : bases) g[at++] = c;
  };
  for (std::size_t donor : {1200u, 3025u, 10300u}) put(donor, "GT");
  for (std::size_t acceptor : {3000u, 5000u, 12000u}) put(acceptor - 2, "AG");
  // An unambiguous 2-base deletion: T [A C] G, and no base of the adapter
  // that follows read 4 continues its exon.
  put(20049, "TACG");
  put(30080, "CTTA");
  return g;
}

std::string gtf_line(const char* transcript, int start, int end) {
  return "chrT\ttest\texon\t" + std::to_string(start) + "\t" + std::to_string(end) +
         "\t.\t+\t.\tgene_id \"g\"; transcript_id \"" + transcript + "\";\n";
}

TEST_F(RescueRuns, HandBuiltReadsOfEachKindArePlacedExactly) {
  const std::string g = hand_built_genome();
  spit(path("genome.fa"), ">chrT\n" + g + "\n");
  spit(path("genes.gtf"), gtf_line("t1", 1001, 1200) + gtf_line("t1", 3001, 3025) +
                              gtf_line("t1", 5001, 5300) + gtf_line("t2", 10001, 10300) +
                              gtf_line("t2", 12001, 12300));
  const std::string reads[] = {
      g.substr(10294, 6) + g.substr(12000, 94),                      // 6-base anchor
      g.substr(1160, 40) + g.substr(3000, 25) + g.substr(5000, 35),  // two introns
      g.substr(20000, 50) + g.substr(20052, 50),                     // 2-base deletion
      g.substr(30000, 80) + "AGATCGGAAGAGCACACGTC",                  // adapter tail
  };
  std::string fastq;
  for (std::size_t k = 0; k < std::size(reads); ++k)
    fastq +=
        "@r" + std::to_string(k + 1) + "\n" + reads[k] + "\n+\n" + std::string(100, 'I') + "\n";
  spit(path("reads.fq"), fastq);
  auto r = run(path("a"), {"-R" + path("genome.fa"), "-D" + path("reads.fq"), "-C1", "--rescue",
                           "--junctions=" + path("genes.gtf"), "--bam=" + path("a/out.sam")});
  ASSERT_EQ(r.status, 0) << r.err;
  auto got = rescued(path("a/out-rescue"));
  const std::vector<std::vector<std::string>> expected = {
      {"chrT", "10295", "+", "6M1700N94M", "anchor"},
      {"chrT", "1161", "+", "40M1800N25M1975N35M", "introns"},
      {"chrT", "20001", "+", "50M2D50M", "indel"},
      {"chrT", "30001", "+", "80M20S", "clipped"},
  };
  for (int read = 1; read <= 4; ++read) {
    ASSERT_EQ(got[read].size(), 1u) << "read " << read;
    const auto& f = got[read][0];
    EXPECT_EQ((std::vector<std::string>{f[1], f[2], f[3], f[4], f[7]}), expected[read - 1])
        << "read " << read;
  }
  const std::string sam = slurp(path("a/out.sam"));
  EXPECT_NE(sam.find("\t10295\t60\t6M1700N94M\t"), std::string::npos) << sam;
  EXPECT_NE(sam.find("XR:Z:clipped"), std::string::npos);
  EXPECT_NE(r.err.find("4 (100.00%) rescued"), std::string::npos) << r.err;
}

TEST_F(RescueRuns, ExampleDefaultFilesStayAndRescueScoresAgainstTruth) {
  auto plain = run(path("plain"), example("-C2"));
  ASSERT_EQ(plain.status, 0) << plain.err;
  auto one =
      run(path("one"), {"-R" + test::source_path("examples/genome.fa"),
                        "-D" + test::source_path("examples/reads.fq.gz"), "-C1", "--rescue"});
  ASSERT_EQ(one.status, 0) << one.err;
  auto three = run(path("three"), {"-R" + test::source_path("examples/genome.fa"),
                                   "-D" + test::source_path("examples/reads.fq.gz"), "-C3",
                                   "--rescue", "--no-index-store"});
  ASSERT_EQ(three.status, 0) << three.err;
  for (const char* suffix : kSixFiles) {
    EXPECT_EQ(slurp(path("plain/out") + suffix), slurp(path("one/out") + suffix)) << suffix;
    EXPECT_EQ(slurp(path("plain/out") + suffix), slurp(path("three/out") + suffix)) << suffix;
  }
  EXPECT_FALSE(test::file_exists(path("plain/out-rescue")));
  EXPECT_EQ(slurp(path("one/out-rescue")), slurp(path("three/out-rescue")));

  // Rescued reads of known origin start within 5 bases of it (but for a
  // few: an anchor of 1 or 2 bases, an indel near an end); random reads
  // stay unplaced.
  const auto got = rescued(path("one/out-rescue"));
  std::istringstream truth(slurp(test::source_path("examples/reads.truth.tsv")));
  int placed = 0, right = 0;
  for (std::string line; std::getline(truth, line);) {
    if (line[0] == '#') continue;
    const auto t = fields_of(line);  // read chrom pos0 strand cigar nsub nN indel source ...
    const auto it = got.find(std::stoi(t[0]));
    if (it == got.end()) continue;
    EXPECT_NE(t[8], "random") << "random read " << t[0] << " rescued";
    if (it->second.size() != 1) continue;
    ++placed;
    right += it->second[0][1] == t[1] &&
             std::abs(std::stol(it->second[0][2]) - 1 - std::stol(t[2])) <= 5;
  }
  EXPECT_GT(placed, 700);
  EXPECT_GE(right, placed * 95 / 100) << right << " of " << placed;
}

// Three segments of 1 MiB (-F1): reads with three mismatches or a deletion,
// some across the segments' overlaps, give the same rescue file for one
// process and for three, each read placed once where it came from.
TEST_F(RescueRuns, SeveralSegmentsGiveTheSameFileForAnyProcessCount) {
  std::mt19937 random(99);
  std::string g(2500000, 'A');
  for (char& c : g) c = "ACGT"[random() % 4];
  spit(path("genome.fa"), ">chrZ\n" + g + "\n");
  std::string fastq;
  std::vector<std::size_t> origins;
  for (int k = 0; k < 60; ++k) {
    // Around the segment starts at 1 MiB and 2 MiB, and elsewhere.
    const std::size_t start = k % 3 == 0   ? (1u << 20) - 50 + k
                              : k % 3 == 1 ? (2u << 20) - 60 + k
                                           : 100000 + 30000 * static_cast<std::size_t>(k);
    std::string read = g.substr(start, 100);
    if (k % 2 == 0) {
      for (int m : {15, 50, 80})
        read[static_cast<std::size_t>(m)] = read[static_cast<std::size_t>(m)] == 'A' ? 'C' : 'A';
    } else {
      read = g.substr(start, 50) + g.substr(start + 53, 50);  // a 3-base deletion
    }
    origins.push_back(start);
    fastq += "@s" + std::to_string(k) + "\n" + read + "\n+\n" + std::string(100, 'I') + "\n";
  }
  spit(path("reads.fq"), fastq);
  for (const char* c : {"-C1", "-C3"}) {
    auto r = run(path(std::string("p") + c),
                 {"-R" + path("genome.fa"), "-D" + path("reads.fq"), c, "-F1", "--rescue"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(test::slurp(path(std::string("p") + c + "/work/taskmpi.txt")),
              c == std::string("-C1") ? "0 0 0 " : "0 1 2 ");
  }
  EXPECT_EQ(slurp(path("p-C1/out-rescue")), slurp(path("p-C3/out-rescue")));
  const auto got = rescued(path("p-C1/out-rescue"));
  ASSERT_EQ(got.size(), origins.size());
  for (const auto& [read, alignments] : got) {
    ASSERT_EQ(alignments.size(), 1u) << "read " << read;
    EXPECT_EQ(std::stoul(alignments[0][2]), origins[static_cast<std::size_t>(read - 1)] + 1)
        << "read " << read;
  }
}

TEST_F(RescueRuns, BadJunctionFilesAndMisusedOptionsAreRefusedBeforeTheRun) {
  spit(path("notes.txt"), "no junctions here\n");
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--rescue", "--junctions=" + path("missing.gtf")}, path("missing.gtf")},
      {{"--rescue", "--junctions=" + path("notes.txt")}, "neither a GTF/GFF annotation"},
      {{"--rescue", "--annotation=" + path("missing.gtf")}, path("missing.gtf")},
      {{"--junctions=" + path("notes.txt")}, "to --rescue (or --bam) or annotates the tables"},
      {{"--bam=" + path("bad/out.bam"), "--no-rescue", "--annotation=" + path("notes.txt")},
       "which --no-rescue turns off"},
      {{"--rescue", "--no-rescue"}, "--rescue and --no-rescue contradict each other"},
  };
  for (const auto& [extra, message] : cases) {
    auto args = example("-C1");
    args.insert(args.end(), extra.begin(), extra.end());
    auto r = run(path("bad"), args);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    EXPECT_FALSE(test::file_exists(path("bad/config.txt")));
  }
  std::filesystem::create_directories(path("m"));
  auto r = test::run_program_in(path("m"), test::program_path("quilm2"),
                                {"-R" + test::source_path("examples/genome.fa"),
                                 "-D" + test::source_path("examples/reads.fq.gz"), "-C1",
                                 "-O" + path("m/out"), "-W" + path("m/work"), "--rescue"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("use quilm2splice"), std::string::npos) << r.err;
  // Without a rescue stage, quilm2 has no rescue options to turn off.
  r = test::run_program_in(path("m"), test::program_path("quilm2"),
                           {"-R" + test::source_path("examples/genome.fa"),
                            "-D" + test::source_path("examples/reads.fq.gz"), "-C1",
                            "-O" + path("m/out"), "-W" + path("m/work"), "--no-rescue"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("option --no-rescue: the rescue stage runs after the splice stage"),
            std::string::npos)
      << r.err;
}

}  // namespace
}  // namespace quilm
