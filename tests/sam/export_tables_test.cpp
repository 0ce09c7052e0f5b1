// The export's tables on the bundled example: the junction table against
// the BAM's N operations, its BED against the table, the gene counts
// against the usual read counter, and the six files left as they are.
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <tuple>

#include "support/test_support.hpp"

namespace quilm {
namespace {

using test::slurp;

using test::on_path;
std::vector<std::vector<std::string>> rows_of(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields;
    std::istringstream f(line);
    for (std::string field; std::getline(f, field, '\t');) fields.push_back(field);
    rows.push_back(fields);
  }
  return rows;
}

using Intron = std::tuple<std::string, long, long>;

class ExportTables : public test::TempDirTest {
 protected:
  test::RunResult run(const std::string& folder, const std::vector<std::string>& extra) {
    std::vector<std::string> args = {"-R" + test::source_path("examples/genome.fa"),
                                     "-Oout",
                                     "-Wwork",
                                     "-C2",
                                     "--rescue",
                                     "--bam=out.bam"};
    args.insert(args.end(), extra.begin(), extra.end());
    std::filesystem::create_directories(path(folder));
    return test::run_program_in(path(folder), test::program_path("quilm2splice"), args);
  }
  std::vector<std::string> tables() const {
    return {"--annotation=" + gtf_, "--sj=sj.tab", "--sj-bed=sj.bed", "--gene-counts=genes.tab"};
  }
  std::string shell(const std::string& command) {
    const int status = std::system(("cd '" + dir() + "' && (" + command + ") > shell.out").c_str());
    EXPECT_EQ(status, 0) << command;
    return slurp(path("shell.out"));
  }
  // Each gene's count by featureCounts with these options, against ours.
  void expect_counts_of_counter(const std::string& folder, const std::string& options) {
    const auto ours = rows_of(slurp(path(folder + "/genes.tab")));
    ASSERT_GT(ours.size(), 4u);
    EXPECT_EQ(ours[0][0], "N_unmapped");
    EXPECT_EQ(ours[3][0], "N_ambiguous");
    for (int s = 0; s < 3; ++s) {
      shell("featureCounts " + options + " -s " + std::to_string(s) + " -a " + gtf_ + " -o fc " +
            folder + "/out.bam 2>&1");
      const auto theirs = rows_of(slurp(path("fc")));
      ASSERT_EQ(theirs.size(), ours.size() - 4 + 1);  // their header line
      for (std::size_t g = 1; g < theirs.size(); ++g) {
        EXPECT_EQ(ours[g + 3][0], theirs[g][0]) << "gene order";
        EXPECT_EQ(ours[g + 3][1 + s], theirs[g].back()) << theirs[g][0] << " -s " << s;
      }
      std::map<std::string, std::string> summary;
      for (const auto& row : rows_of(slurp(path("fc.summary")))) summary[row[0]] = row[1];
      EXPECT_EQ(ours[2][1 + s], summary["Unassigned_NoFeatures"]);
      EXPECT_EQ(ours[3][1 + s], summary["Unassigned_Ambiguity"]);
    }
  }
  const std::string gtf_ = test::source_path("examples/genes.gtf");
  const std::string reads_ = "-D" + test::source_path("examples/reads.fq.gz");
};

TEST_F(ExportTables, JunctionsMatchTheBamAndTheSixFilesStayTheSame) {
  ASSERT_EQ(run("plain", {reads_, "--junctions=" + gtf_}).status, 0);
  const auto r = run("tables", {reads_, tables()[0], tables()[1], tables()[2], tables()[3]});
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char* suffix : {"-quilm2high", "-quilm2low", "-quilm2mutil", "-splice-high",
                             "-splice-low", "-splice-mutil", "-rescue"})
    EXPECT_EQ(slurp(path("plain/out") + suffix), slurp(path("tables/out") + suffix)) << suffix;
  if (!on_path("samtools")) GTEST_SKIP() << "samtools is not on the PATH";
  // Unique and multi-mapping records crossing each intron, from the CIGARs.
  std::map<Intron, std::pair<long, long>> from_bam;
  for (const auto& f : rows_of(shell("samtools view tables/out.bam"))) {
    if (std::stoi(f[1]) & 4) continue;
    bool unique = false;
    for (std::size_t k = 11; k < f.size(); ++k) unique = unique || f[k] == "NH:i:1";
    long position = std::stol(f[3]);
    std::istringstream cigar(f[5]);
    long length = 0;
    char op = 0;
    while (cigar >> length >> op) {
      if (op == 'N') {
        auto& counts = from_bam[{f[2], position, position + length - 1}];
        ++(unique ? counts.first : counts.second);
      }
      if (std::string("MDN=X").find(op) != std::string::npos) position += length;
    }
  }
  const auto table = rows_of(slurp(path("tables/sj.tab")));
  const auto bed = rows_of(slurp(path("tables/sj.bed")));
  ASSERT_EQ(table.size(), bed.size());
  ASSERT_FALSE(table.empty());
  std::size_t annotated = 0;
  Intron previous;
  for (std::size_t k = 0; k < table.size(); ++k) {
    const auto& t = table[k];
    ASSERT_EQ(t.size(), 9u);
    const Intron intron{t[0], std::stol(t[1]), std::stol(t[2])};
    EXPECT_LT(previous, intron) << "sorted";
    previous = intron;
    const auto counts = from_bam[intron];
    EXPECT_EQ(std::stol(t[6]), counts.first) << t[1];
    EXPECT_EQ(std::stol(t[7]), counts.second) << t[1];
    EXPECT_FALSE(t[4] == "0" && counts.first == 0) << "non-canonical, multi-mapping reads only";
    EXPECT_EQ(t[3], t[4] == "0" ? "0" : std::stoi(t[4]) % 2 == 1 ? "1" : "2");
    annotated += t[5] == "1";
    const auto& b = bed[k];
    ASSERT_EQ(b.size(), 12u);
    const long start = std::stol(b[1]);
    const long first_block = std::stol(b[10]);
    const long second_start = std::stol(b[11].substr(b[11].find(',') + 1));
    EXPECT_EQ(start + first_block, std::get<1>(intron) - 1) << "first block ends at the intron";
    EXPECT_EQ(start + second_start, std::get<2>(intron)) << "second block starts after it";
    EXPECT_EQ(b[4], t[6]);
    EXPECT_EQ(b[5], t[3] == "1" ? "+" : t[3] == "2" ? "-" : ".");
  }
  for (const auto& [intron, counts] : from_bam) EXPECT_TRUE(counts.first > 0 || counts.second > 0);
  EXPECT_GT(annotated, table.size() / 2) << "the simulated reads follow the annotation";
  EXPECT_EQ(bed[0][3], "JUNC00000001");
}

TEST_F(ExportTables, GeneCountsEqualTheReadCounterSingleAndPaired) {
  const auto single = run("single", {reads_, tables()[0], tables()[3]});
  ASSERT_EQ(single.status, 0) << single.err;
  const auto paired = run("paired", {"-D" + test::source_path("examples/pairs_1.fq.gz"),
                                     "--mates=" + test::source_path("examples/pairs_2.fq.gz"),
                                     tables()[0], tables()[3]});
  ASSERT_EQ(paired.status, 0) << paired.err;
  if (!on_path("featureCounts")) GTEST_SKIP() << "featureCounts (subread) is not on the PATH";
  expect_counts_of_counter("single", "");
  expect_counts_of_counter("paired", "-p --countReadPairs");
}

TEST_F(ExportTables, OptionsThatLackWhatTheyCountAreRefused) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--sj=sj.tab"}, "--bam=<file>, which"},
      {{"--bam=out.bam", "--gene-counts=g.tab"}, "--annotation=<GTF/GFF>"},
      {{"--annotation=" + gtf_}, "none of which is given"},
  };
  int k = 0;
  for (const auto& [extra, message] : cases) {
    std::vector<std::string> args = {"-R" + test::source_path("examples/genome.fa"), reads_,
                                     "-Oout", "-Wwork", "-C1"};
    args.insert(args.end(), extra.begin(), extra.end());
    const std::string folder = path("bad" + std::to_string(k++));
    std::filesystem::create_directories(folder);
    const auto r = test::run_program_in(folder, test::program_path("quilm2"), args);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE((r.out + r.err).find(message), std::string::npos) << r.out << r.err;
  }
}

}  // namespace
}  // namespace quilm
