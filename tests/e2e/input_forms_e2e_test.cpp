// Valid inputs in less common forms, run through the splice driver and the
// export: lower-case reads and blanks in reference lines give the results of
// the clean files; known junctions that match nothing and reference names
// that SAM forbids are said, or refused before any work.
#include <algorithm>
#include <filesystem>
#include <random>
#include <sstream>

#include "support/sequences.hpp"
#include "support/test_support.hpp"

namespace quilm {
namespace {

using test::file_exists;
using test::slurp;
using test::spit;

constexpr const char* kSixFiles[] = {"-quilm2high",  "-quilm2low",  "-quilm2mutil",
                                     "-splice-high", "-splice-low", "-splice-mutil"};

// Two chromosomes of random bases; t1 has exons [1000, 1200) and
// [3000, 3300) on chr1 with a GT..AG intron between them.
struct SmallGenome {
  std::string chr1, chr2;
};

SmallGenome small_genome() {
  std::mt19937 random(515);
  SmallGenome g{std::string(30000, 'A'), std::string(20000, 'A')};
  for (std::string* s : {&g.chr1, &g.chr2})
    for (char& c : *s) c = "ACGT"[random() % 4];
  g.chr1[1200] = 'G';
  g.chr1[1201] = 'T';
  g.chr1[2998] = 'A';
  g.chr1[2999] = 'G';
  return g;
}

// Reads of 100 bases: from both strands of both chromosomes, some with a
// mismatch, some across the intron of t1.
std::string small_reads(const SmallGenome& g) {
  std::mt19937 random(77);
  std::string fastq;
  for (int k = 0; k < 120; ++k) {
    const std::string& chr = k % 3 == 2 ? g.chr2 : g.chr1;
    std::string read =
        k % 10 == 9 ? g.chr1.substr(1130 + k % 40, 70 - k % 40) + g.chr1.substr(3000, 30 + k % 40)
                    : chr.substr(random() % (chr.size() - 100), 100);
    if (k % 4 == 1) read[50] = read[50] == 'A' ? 'C' : 'A';
    if (k % 2 == 1) read = test::reverse_complement_of(read);
    fastq += "@q" + std::to_string(k) + "\n" + read + "\n+\n" + std::string(100, 'I') + "\n";
  }
  return fastq;
}

// Every line of a FASTA of 60-base lines, each passed through `line`.
template <class Line>
std::string fasta(const SmallGenome& g, Line line) {
  std::string text;
  for (const auto& [name, bases] : {std::pair{"chr1", &g.chr1}, std::pair{"chr2", &g.chr2}}) {
    text += std::string(">") + name + " test\n";
    for (std::size_t at = 0; at < bases->size(); at += 60)
      text += line(bases->substr(at, 60), at / 60) + "\n";
  }
  return text;
}

std::string gtf_line(const std::string& chromosome, int start, int end) {
  return chromosome + "\ttest\texon\t" + std::to_string(start) + "\t" + std::to_string(end) +
         "\t.\t+\t.\tgene_id \"g\"; transcript_id \"t1\";\n";
}

// The records of a SAM file, without its header (which names the files).
std::string sam_records(const std::string& path) {
  std::istringstream in(slurp(path));
  std::string records;
  for (std::string line; std::getline(in, line);)
    if (!line.starts_with("@")) records += line + "\n";
  return records;
}

class InputForms : public test::TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    genome_ = small_genome();
    spit(path("genome.fa"), fasta(genome_, [](std::string l, std::size_t) { return l; }));
    spit(path("reads.fq"), small_reads(genome_));
  }
  test::RunResult run(const std::string& name, std::vector<std::string> args) {
    const std::string folder = path(name);
    std::filesystem::create_directories(folder);
    args.insert(args.end(), {"-O" + folder + "/out", "-W" + folder + "/work", "-C1"});
    return test::run_program_in(folder, test::program_path("quilm2splice"), args);
  }
  // The six files of two runs are the same, and not all empty.
  void expect_same_results(const std::string& a, const std::string& b) {
    std::size_t bytes = 0;
    for (const char* suffix : kSixFiles) {
      const std::string expected = slurp(path(a + "/out") + suffix);
      EXPECT_EQ(slurp(path(b + "/out") + suffix), expected) << suffix;
      bytes += expected.size();
    }
    EXPECT_GT(bytes, 0u);
  }
  // The closing summary's counts of reads, from "<n> reads; of these:" on.
  static std::string summary_counts(const std::string& err) {
    const std::size_t from = err.find(" reads; of these:");
    const std::size_t to = err.find("overall alignment rate");
    if (from == std::string::npos || to == std::string::npos) return "no summary in: " + err;
    return err.substr(err.rfind('\n', from) + 1, to - err.rfind('\n', from) - 1);
  }
  SmallGenome genome_;
};

TEST_F(InputForms, LowerCaseReadsMapAsTheirUpperCaseTwin) {
  std::string lower = slurp(path("reads.fq"));
  std::istringstream in(lower);
  lower.clear();
  int line = 0;
  for (std::string l; std::getline(in, l); ++line) {
    if (line % 4 == 1)
      std::transform(l.begin(), l.end(), l.begin(),
                     [](char c) { return static_cast<char>(c + ('a' - 'A')); });
    lower += l + "\n";
  }
  spit(path("lower.fq"), lower);
  for (const char* masking : {"-M1", "-M0"}) {
    const std::string m = masking;
    auto upper = run("upper" + m, {"-R" + path("genome.fa"), "-D" + path("reads.fq"), masking,
                                   "--bam=" + path("upper" + m + "/out.sam")});
    ASSERT_EQ(upper.status, 0) << upper.err;
    auto low = run("lower" + m, {"-R" + path("genome.fa"), "-D" + path("lower.fq"), masking,
                                 "--bam=" + path("lower" + m + "/out.sam")});
    ASSERT_EQ(low.status, 0) << low.err;
    expect_same_results("upper" + m, "lower" + m);
    EXPECT_EQ(summary_counts(low.err), summary_counts(upper.err));
    EXPECT_NE(upper.err.find("overall alignment rate"), std::string::npos);
    EXPECT_EQ(upper.err.find("\n0.00% overall"), std::string::npos) << upper.err;
    // SEQ in upper case, as mapped; every record as the upper-case run's.
    const std::string records = sam_records(path("lower" + m + "/out.sam"));
    EXPECT_EQ(records, sam_records(path("upper" + m + "/out.sam")));
    EXPECT_EQ(records.find("acgt"), std::string::npos);
  }
}

TEST_F(InputForms, BlanksInReferenceLinesGiveTheResultsOfTheCleanReference) {
  // A trailing blank on every line, a blank inside every seventh line and a
  // tab inside every eleventh one, with CR LF line ends on some lines.
  std::int64_t blanks = 0;
  spit(path("blank.fa"), fasta(genome_, [&](std::string l, std::size_t k) {
         if (k % 7 == 3) {
           l = l.substr(0, 20) + " " + l.substr(20);
           ++blanks;
         }
         if (k % 11 == 5) {
           l = l.substr(0, 40) + "\t" + l.substr(40);
           ++blanks;
         }
         ++blanks;
         return l + (k % 5 == 0 ? " \r" : " ");
       }));
  auto clean = run("clean", {"-R" + path("genome.fa"), "-D" + path("reads.fq"),
                             "--bam=" + path("clean/out.sam")});
  ASSERT_EQ(clean.status, 0) << clean.err;
  auto blank = run("blank", {"-R" + path("blank.fa"), "-D" + path("reads.fq"),
                             "--bam=" + path("blank/out.sam")});
  ASSERT_EQ(blank.status, 0) << blank.err;
  expect_same_results("clean", "blank");
  EXPECT_EQ(summary_counts(blank.err), summary_counts(clean.err));
  EXPECT_EQ(slurp(path("blank/work/fast_index.txt")), slurp(path("clean/work/fast_index.txt")));
  EXPECT_EQ(sam_records(path("blank/out.sam")), sam_records(path("clean/out.sam")));
  // The header declares the clean lengths.
  EXPECT_NE(slurp(path("blank/out.sam")).find("@SQ\tSN:chr1\tLN:30000\n"), std::string::npos);
  // One warning with the count from the driver, one from the export.
  const std::string warning = ": warning: reference '" + path("blank.fa") +
                              "': " + std::to_string(blanks) +
                              " blanks and tabs in sequence lines skipped; they are not bases\n";
  EXPECT_NE(blank.err.find("quilm2splice" + warning), std::string::npos) << blank.err;
  EXPECT_NE(blank.err.find("quilm2sam" + warning), std::string::npos) << blank.err;
  EXPECT_EQ(blank.err.find(warning, blank.err.find(warning) + 1), blank.err.rfind(warning));
  EXPECT_EQ(clean.err.find("blanks and tabs"), std::string::npos);
}

TEST_F(InputForms, KnownJunctionsOffTheReferenceAreSaidAndNoneMatchingIsRefused) {
  const std::string exons = gtf_line("chr1", 1001, 1200) + gtf_line("chr1", 3001, 3300);
  spit(path("ensembl.gtf"), gtf_line("1", 1001, 1200) + gtf_line("1", 3001, 3300));
  auto none = run("none", {"-R" + path("genome.fa"), "-D" + path("reads.fq"), "--rescue",
                           "--junctions=" + path("ensembl.gtf")});
  EXPECT_EQ(none.status, 1);
  EXPECT_NE(none.err.find("--junctions='" + path("ensembl.gtf") +
                          "': none of its 1 junctions lies on the reference: 1 on chromosomes "
                          "that reference '" +
                          path("genome.fa") +
                          "' does not hold (such as '1'; the reference's first is 'chr1')"),
            std::string::npos)
      << none.err;
  EXPECT_FALSE(file_exists(path("none/config.txt")));
  EXPECT_FALSE(file_exists(path("none/work")));

  // Some match: the run goes on, and the others are counted by cause.
  spit(path("mixed.gtf"), exons + "chrUn\ttest\texon\t41\t50\t.\t+\t.\ttranscript_id \"t2\";\n" +
                              "chrUn\ttest\texon\t11\t20\t.\t+\t.\ttranscript_id \"t2\";\n" +
                              "chr2\ttest\texon\t19001\t19100\t.\t+\t.\ttranscript_id \"t3\";\n" +
                              "chr2\ttest\texon\t30001\t30100\t.\t+\t.\ttranscript_id \"t3\";\n");
  auto mixed = run("mixed", {"-R" + path("genome.fa"), "-D" + path("reads.fq"), "--rescue",
                             "--junctions=" + path("mixed.gtf")});
  ASSERT_EQ(mixed.status, 0) << mixed.err;
  EXPECT_NE(mixed.err.find("quilm2splice: warning: --junctions='" + path("mixed.gtf") +
                           "': 2 of its 3 junctions match nothing and are not used: 1 on "
                           "chromosomes that reference '" +
                           path("genome.fa") +
                           "' does not hold (such as 'chrUn'; the reference's first is 'chr1'), "
                           "1 past the end of their chromosome (such as on 'chr2')\n"),
            std::string::npos)
      << mixed.err;

  // All matching: no warning, and the rescue the same as with the same
  // junctions among unmatched ones.
  spit(path("good.gtf"), exons);
  auto good = run("good", {"-R" + path("genome.fa"), "-D" + path("reads.fq"), "--rescue",
                           "--junctions=" + path("good.gtf")});
  ASSERT_EQ(good.status, 0) << good.err;
  EXPECT_EQ(good.err.find("--junctions="), std::string::npos) << good.err;
  EXPECT_EQ(slurp(path("good/out-rescue")), slurp(path("mixed/out-rescue")));
}

TEST_F(InputForms, ReferenceNamesThatSamForbidsAreRefusedBeforeAnyExport) {
  std::string named = slurp(path("genome.fa"));
  named.replace(named.find(">chr2"), 5, ">*");
  spit(path("star.fa"), named);
  const std::string problem = "reference '" + path("star.fa") +
                              "': sequence name '*' (line 502) is '*', which SAM reads as no "
                              "reference";
  // With --bam: refused before any work.
  auto bam =
      run("bam", {"-R" + path("star.fa"), "-D" + path("reads.fq"), "--bam=" + path("bam/out.bam")});
  EXPECT_EQ(bam.status, 1);
  EXPECT_NE(bam.err.find("quilm2splice: error: " + problem +
                         "; option --bam cannot write it (rename the sequence)\n"),
            std::string::npos)
      << bam.err;
  EXPECT_FALSE(file_exists(path("bam/config.txt")));
  EXPECT_FALSE(file_exists(path("bam/work")));
  EXPECT_FALSE(file_exists(path("bam/out.bam")));

  // Without: the six plain files keep the name, with a warning.
  auto plain = run("plain", {"-R" + path("star.fa"), "-D" + path("reads.fq")});
  ASSERT_EQ(plain.status, 0) << plain.err;
  EXPECT_NE(plain.err.find("quilm2splice: warning: " + problem +
                           "; the run's files keep it, but an export to SAM refuses it\n"),
            std::string::npos)
      << plain.err;
  EXPECT_NE(slurp(path("plain/out-quilm2high")).find("\t*\t"), std::string::npos);

  // The export of that run refuses it before writing.
  auto sam = test::run_program_in(path("plain"), test::program_path("quilm2sam"),
                                  {"-R" + path("star.fa"), "-D" + path("reads.fq"),
                                   "-O" + path("plain/out"), "-o", path("plain/out.sam")});
  EXPECT_EQ(sam.status, 1);
  EXPECT_NE(sam.err.find("quilm2sam: error: reference '" + path("star.fa") +
                         "': sequence name '*' is '*', which SAM reads as no reference"),
            std::string::npos)
      << sam.err;
  EXPECT_FALSE(file_exists(path("plain/out.sam")));
}

}  // namespace
}  // namespace quilm
