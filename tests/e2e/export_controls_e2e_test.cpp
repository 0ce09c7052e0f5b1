// The export controls of a driver run with --bam: the summary file for QC
// tools against the BAM's own counts, AS of rescued records against the
// rescue stage's scores, the unmapped reads' FASTQ against samtools, and
// the six output files unchanged by these options.
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>

#include "support/test_support.hpp"

namespace quilm {
namespace {

using test::slurp;

using Record = std::vector<std::string>;

std::vector<std::string> split(const std::string& line) {
  std::vector<std::string> f;
  std::istringstream in(line);
  for (std::string w; std::getline(in, w, '\t');) f.push_back(w);
  return f;
}

std::string tag(const Record& r, const std::string& name) {
  for (std::size_t i = 11; i < r.size(); ++i)
    if (r[i].compare(0, 3, name + ":") == 0) return r[i].substr(5);
  return "";
}

std::string share(long n, long whole) {
  char text[64];
  std::snprintf(text, sizeof text, "%ld (%.2f%%)", n, whole ? 100.0 * n / whole : 0.0);
  return text;
}

std::string rate(long n, long whole) {
  char text[64];
  std::snprintf(text, sizeof text, "%.2f%% overall alignment rate",
                whole ? 100.0 * n / whole : 0.0);
  return text;
}

class ExportControls : public test::TempDirTest {
 protected:
  test::RunResult run(const std::string& folder, const std::vector<std::string>& extra) {
    std::vector<std::string> args = {"-R" + test::source_path("examples/genome.fa"),
                                     "-O" + path(folder + "/out"), "-W" + path(folder + "/work"),
                                     "-C2"};
    args.insert(args.end(), extra.begin(), extra.end());
    std::filesystem::create_directories(path(folder));
    return test::run_program_in(path(folder), test::program_path("quilm2splice"), args);
  }
  std::string shell_output(const std::string& command) {
    const int status = std::system(("cd '" + dir() + "' && (" + command + ") > shell.out").c_str());
    EXPECT_EQ(status, 0) << command;
    return slurp(path("shell.out"));
  }
  std::vector<Record> records(const std::string& bam) {
    std::vector<Record> out;
    std::istringstream in(shell_output("samtools view " + bam));
    for (std::string line; std::getline(in, line);) out.push_back(split(line));
    return out;
  }
  void expect_same_six_files(const std::string& a, const std::string& b) {
    for (const char* suffix : {"-quilm2high", "-quilm2low", "-quilm2mutil", "-splice-high",
                               "-splice-low", "-splice-mutil"})
      EXPECT_EQ(slurp(path(a + "/out") + suffix), slurp(path(b + "/out") + suffix)) << suffix;
  }
};

// The summary's lines up to its closing line, and that closing line.
std::pair<std::string, std::string> summary_parts(const std::string& text) {
  const std::size_t last = text.rfind('\n', text.size() - 2);
  return {text.substr(0, last + 1), text.substr(last + 1)};
}

TEST_F(ExportControls, SingleReadsAfterRescue) {
  const std::string reads = "-D" + test::source_path("examples/reads.fq.gz");
  auto plain = run("plain", {reads, "--rescue"});
  ASSERT_EQ(plain.status, 0) << plain.err;
  auto r = run("bam", {reads, "--rescue", "--bam=out.bam", "--summary-file=summary.txt",
                       "--unmapped-fastq=un.gz"});
  ASSERT_EQ(r.status, 0) << r.err;
  expect_same_six_files("plain", "bam");
  EXPECT_EQ(slurp(path("plain/out-rescue")), slurp(path("bam/out-rescue")));

  const std::string summary = slurp(path("bam/summary.txt"));
  const auto [block, closing] = summary_parts(summary);
  EXPECT_TRUE(closing.starts_with("quilm2splice: finished in ")) << summary;
  // On stderr the rescue stage's line by kind stands between them.
  EXPECT_NE(r.err.find(block + "  "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(closing.substr(0, 26)), std::string::npos) << r.err;
  std::size_t rates = 0;
  for (std::size_t at = 0; (at = r.err.find("overall alignment rate", at)) != std::string::npos;
       ++at)
    ++rates;
  EXPECT_EQ(rates, 1u) << r.err;

  long total = 0, none = 0, once = 0, more = 0;
  std::map<std::string, std::vector<std::string>> rescued_scores;  // name -> AS of XR records
  for (const Record& rec : records("bam/out.bam")) {
    const int flag = std::stoi(rec[1]);
    if (!(flag & 4)) {
      EXPECT_FALSE(tag(rec, "AS").empty()) << rec[0];
    }
    const std::string kind = tag(rec, "XR");
    if (!kind.empty()) rescued_scores[rec[0]].push_back(tag(rec, "AS"));
    if (flag & 256) continue;
    ++total;
    if (flag & 4)
      ++none;
    else
      ++(tag(rec, "NH") == "1" ? once : more);
  }
  EXPECT_EQ(block, std::to_string(total) + " reads; of these:\n  " + share(total, total) +
                       " were unpaired; of these:\n    " + share(none, total) +
                       " aligned 0 times\n    " + share(once, total) +
                       " aligned exactly 1 time\n    " + share(more, total) +
                       " aligned >1 times\n" + rate(once + more, total) + "\n");

  // A rescued record's AS is the rescue stage's score of its alignment.
  std::istringstream names(shell_output("gzip -dc " + reads.substr(2) + " | awk 'NR % 4 == 1'"));
  std::vector<std::string> name_of = {""};
  for (std::string line; std::getline(names, line);) name_of.push_back(line.substr(1));
  std::istringstream rescue(slurp(path("bam/out-rescue")));
  std::string line;
  std::getline(rescue, line);
  std::map<std::string, std::vector<std::string>> stage_scores;
  while (std::getline(rescue, line)) {
    const auto f = split(line);
    stage_scores[name_of.at(std::stoul(f[0]))].push_back(f[5]);
  }
  ASSERT_GT(rescued_scores.size(), 100u);
  for (const auto& [name, scores] : rescued_scores) EXPECT_EQ(scores, stage_scores[name]) << name;

  EXPECT_EQ(shell_output("gzip -dc bam/un.fq.gz"),
            shell_output("samtools fastq -n -f 4 bam/out.bam 2>/dev/null"));
}

TEST_F(ExportControls, PairsWithMaxHits) {
  const std::vector<std::string> pairs = {"-D" + test::source_path("examples/pairs_1.fq.gz"),
                                          "--mates=" + test::source_path("examples/pairs_2.fq.gz")};
  auto plain = run("plain", pairs);
  ASSERT_EQ(plain.status, 0) << plain.err;
  std::vector<std::string> args = pairs;
  // Without the rescue stage some pairs keep no alignment at all, which the
  // FASTQ of unaligned pairs is to hold.
  args.insert(args.end(), {"--bam=out.bam", "--no-rescue", "--summary-file=summary.txt",
                           "--max-hits=1", "--unmapped-fastq=un"});
  auto r = run("bam", args);
  ASSERT_EQ(r.status, 0) << r.err;
  expect_same_six_files("plain", "bam");

  // Each pair from its records: concordant pairs, or each mate's records.
  struct Pair {
    int proper = 0;
    int mate[2] = {0, 0};
  };
  std::map<std::string, Pair> by_name;
  for (const Record& rec : records("bam/out.bam")) {
    const int flag = std::stoi(rec[1]);
    Pair& p = by_name[rec[0]];
    if (flag & 4) continue;
    EXPECT_EQ(tag(rec, "NH"), "1") << rec[0];  // --max-hits=1
    if (flag & 2)
      p.proper += (flag & 64) ? 1 : 0;
    else
      ++p.mate[(flag & 64) ? 0 : 1];
  }
  const long total = static_cast<long>(by_name.size());
  long concordant = 0, discordant = 0, mates_once = 0, mates_more = 0;
  for (const auto& [name, p] : by_name) {
    if (p.proper > 0) {
      ++concordant;
    } else if (p.mate[0] == 1 && p.mate[1] == 1) {
      ++discordant;
    } else {
      for (int m : p.mate) (m == 1 ? mates_once : mates_more) += m > 0;
    }
  }
  EXPECT_EQ(total, 1000);
  const long rest = total - concordant;
  const long mates = 2 * (rest - discordant);
  const std::string expected =
      std::to_string(total) + " reads; of these:\n  " + share(total, total) +
      " were paired; of these:\n    " + share(rest, total) + " aligned concordantly 0 times\n    " +
      share(concordant, total) + " aligned concordantly exactly 1 time\n    " + share(0, total) +
      " aligned concordantly >1 times\n    ----\n    " + std::to_string(rest) +
      " pairs aligned concordantly 0 times; of these:\n      " + share(discordant, rest) +
      " aligned discordantly 1 time\n    ----\n    " + std::to_string(rest - discordant) +
      " pairs aligned 0 times concordantly or discordantly; of these:\n      " +
      std::to_string(mates) + " mates make up the pairs; of these:\n        " +
      share(mates - mates_once - mates_more, mates) + " aligned 0 times\n        " +
      share(mates_once, mates) + " aligned exactly 1 time\n        " + share(mates_more, mates) +
      " aligned >1 times\n" +
      rate(2 * (concordant + discordant) + mates_once + mates_more, 2 * total) + "\n";
  EXPECT_EQ(summary_parts(slurp(path("bam/summary.txt"))).first, expected);

  shell_output("samtools fastq -n -f 12 -1 both_1.fq -2 both_2.fq bam/out.bam 2>/dev/null");
  EXPECT_EQ(slurp(path("bam/un_1.fq")), slurp(path("both_1.fq")));
  EXPECT_EQ(slurp(path("bam/un_2.fq")), slurp(path("both_2.fq")));
  EXPECT_FALSE(slurp(path("both_1.fq")).empty());
}

TEST_F(ExportControls, OptionsNeedTheExport) {
  const std::string reads = "-D" + test::source_path("examples/reads.fq.gz");
  for (const char* option : {"--summary-file=s.txt", "--max-hits=2", "--unmapped-fastq=un"}) {
    auto r = run("x", {reads, option});
    EXPECT_EQ(r.status, 1) << option;
    EXPECT_NE(r.err.find("--bam=<file>, which is not given"), std::string::npos) << r.err;
  }
  auto bad = run("x", {reads, "--bam=out.bam", "--max-hits=many"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.err.find("--max-hits needs a whole number, at least 1, not 'many'"),
            std::string::npos)
      << bad.err;
}

}  // namespace
}  // namespace quilm
