// Paired reads through both drivers: the bundled example's simulated pairs
// (examples/pairs_*.fq.gz, with their true origin) mapped in one run.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>

#include "common/input_file.hpp"
#include "support/test_support.hpp"

namespace quilm {
namespace {

using test::slurp;
using test::spit;

// The records of a run's six files as "<read number>\t<rest>" lines, sorted,
// with read k renumbered by `number`.
template <class Renumber>
std::vector<std::string> hit_lines(const std::string& base, Renumber number) {
  std::vector<std::string> lines;
  for (const char* suffix : {"-quilm2high", "-quilm2low", "-quilm2mutil", "-splice-high",
                             "-splice-low", "-splice-mutil"}) {
    std::istringstream in(slurp(base + suffix));
    for (std::string first, second; std::getline(in, first) && std::getline(in, second);) {
      const std::size_t tab = first.find('\t');
      lines.push_back(std::to_string(number(std::stol(first.substr(0, tab)))) + first.substr(tab) +
                      "\n" + second);
    }
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

// "<n> (" from the summary line that ends in `what`.
long summary_count(const std::string& err, const std::string& what) {
  const std::size_t at = err.find(what);
  if (at == std::string::npos) return -1;
  const std::size_t line = err.rfind('\n', at) + 1;
  return std::stol(err.substr(line));
}

class PairedRun : public test::TempDirTest {
 protected:
  test::RunResult run(const std::string& program, const std::string& folder,
                      const std::vector<std::string>& extra) {
    std::vector<std::string> args = {"-R" + test::source_path("examples/genome.fa"),
                                     "-O" + path(folder + "/run"), "-W" + path(folder + "/work"),
                                     "-C2"};
    args.insert(args.end(), extra.begin(), extra.end());
    std::filesystem::create_directories(path(folder));
    return test::run_program_in(path(folder), test::program_path(program), args);
  }
  std::string shell_output(const std::string& command) {
    const int status = std::system(("cd '" + dir() + "' && (" + command + ") > shell.out").c_str());
    EXPECT_EQ(status, 0) << command;
    return slurp(path("shell.out"));
  }
  const std::string r1_ = "-D" + test::source_path("examples/pairs_1.fq.gz");
  const std::string r2_ = test::source_path("examples/pairs_2.fq.gz");
};

// Where each mate truly lies: "<chrom> <1-based pos>" by "p<k>/<mate>".
std::map<std::string, std::string> true_places() {
  InputFile in(test::source_path("examples/pairs.truth.tsv.gz"));
  std::map<std::string, std::string> places;
  for (std::string line; in.read_line(line);) {
    if (line[0] == '#') continue;
    std::istringstream f(line);
    std::string name, chrom, pos;
    f >> name >> chrom >> pos;
    places[name] = chrom + " " + pos;
  }
  return places;
}

TEST_F(PairedRun, EachMateGetsItsSingleEndHitsAndThePairsAreSound) {
  const test::RunResult paired =
      run("quilm2splice", "pairs", {r1_, "--mates=" + r2_, "--bam=run.bam"});
  ASSERT_EQ(paired.status, 0) << paired.err;
  ASSERT_EQ(run("quilm2splice", "one", {r1_}).status, 0);
  ASSERT_EQ(run("quilm2splice", "two", {"-D" + r2_}).status, 0);
  // Read 2k-1 is mate 1 of pair k and read 2k its mate 2: each gets exactly
  // the hits of its own single-end run.
  std::vector<std::string> single = hit_lines(path("one/run"), [](long k) { return 2 * k - 1; });
  for (std::string& line : hit_lines(path("two/run"), [](long k) { return 2 * k; }))
    single.push_back(line);
  std::sort(single.begin(), single.end());
  EXPECT_EQ(hit_lines(path("pairs/run"), [](long k) { return k; }), single);

  // The summary, samtools flagstat and the proper-pair flag agree; fixmate
  // changes nothing.
  const long once = summary_count(paired.err, "aligned concordantly exactly 1 time");
  const long more = summary_count(paired.err, "aligned concordantly >1 times");
  const long one_mate = summary_count(paired.err, "with one mate aligned, the other not");
  EXPECT_EQ(summary_count(paired.err, "pairs; of these:"), 1000);
  EXPECT_GT(once, 600) << paired.err;
  EXPECT_EQ(std::stol(shell_output("samtools view -c -f 0x2 -F 0x900 pairs/run.bam")),
            2 * (once + more));
  const std::string flagstat = shell_output("samtools flagstat pairs/run.bam");
  EXPECT_NE(flagstat.find(std::to_string(2 * (once + more)) + " + 0 properly paired"),
            std::string::npos)
      << flagstat;
  EXPECT_NE(flagstat.find(std::to_string(one_mate) + " + 0 singletons"), std::string::npos)
      << flagstat;
  EXPECT_EQ(shell_output("cd pairs && samtools sort -n -o byname.bam run.bam && samtools fixmate "
                         "byname.bam fixed.bam && samtools view byname.bam | sort > a.txt && "
                         "samtools view fixed.bam | sort | cmp - a.txt && echo same"),
            "same\n");

  // Pairs placed right: both primary records of a proper pair where the
  // simulation put the mates.
  const std::map<std::string, std::string> truth = true_places();
  std::istringstream records(shell_output("samtools view -f 0x2 -F 0x900 pairs/run.bam"));
  int right = 0, proper = 0;
  for (std::string line; std::getline(records, line); ++proper) {
    std::istringstream f(line);
    std::string name, flag, chrom, pos;
    f >> name >> flag >> chrom >> pos;
    const std::string mate = (std::stoi(flag) & 0x40) ? "/1" : "/2";
    right += truth.at(name + mate) == chrom + " " + pos;
  }
  EXPECT_GT(right, proper * 97 / 100) << right << " of " << proper;
}

TEST_F(PairedRun, MappingOnlyDriverPairsTooAndCountsWithoutAnExport) {
  const test::RunResult r = run("quilm2", "map", {r1_, "--mates=" + r2_});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(summary_count(r.err, "pairs; of these:"), 1000) << r.err;
  EXPECT_EQ(summary_count(r.err, "reads; of these:"), 2000) << r.err;
  EXPECT_GT(summary_count(r.err, "aligned concordantly exactly 1 time"), 500) << r.err;
}

TEST_F(PairedRun, MateFilesThatDoNotPairStopTheRunAndKeepTheEarlierResult) {
  spit(path("r2.fq"), "@p1/2\nACGT\n+\nIIII\n");
  spit(path("damaged.fq.gz"), slurp(r2_).substr(0, 20000));
  // A file of pieces (as tailfetch writes them) has other reads than the mates.
  spit(path("pieces.fq"), "@p1/1_1\nACGTACGT\n+\nIIIIIIII\n@p1/1_2\nACGTACGT\n+\nIIIIIIII\n");
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{r1_, "--mates=" + r2_.substr(0)}, ""},
      {{r1_, "--mates=" + path("r2.fq")}, "the mate files hold different numbers of reads"},
      {{r1_, "--mates=" + path("damaged.fq.gz")}, "damaged.fq.gz"},
      {{r1_, "--mates=" + path("pieces.fq")}, "have different names"},
      {{r1_, "--mates=" + r1_.substr(2)}, "names the file of -D"},
      {{"-D" + path("r2.fq"), "--no-name-check"}, "--no-name-check applies to the mates"},
      {{"-D-", "--mates=" + r2_, "--bam=x.bam"}, "must be a regular file"},
  };
  for (const auto& [args, words] : cases) {
    const test::RunResult r = run("quilm2splice", "runs", args);
    if (words.empty()) {  // the earlier result that must stay
      ASSERT_EQ(r.status, 0) << r.err;
      spit(path("before"), slurp(path("runs/run-splice-high")));
      continue;
    }
    EXPECT_NE(r.status, 0) << words;
    EXPECT_NE(r.err.find(words), std::string::npos) << r.err;
    EXPECT_EQ(slurp(path("runs/run-splice-high")), slurp(path("before"))) << words;
  }
}

}  // namespace
}  // namespace quilm
