#include <filesystem>
#include <utility>

#include "support/test_support.hpp"

namespace quilm {
namespace {

using test::slurp;
using test::spit;

std::string lines_of(int count, const std::string& line) {
  std::string text;
  for (int i = 0; i < count; ++i) text += line;
  return text;
}

std::string hit(int read, int length, const std::string& transcript, int position) {
  return std::to_string(read) + "\t" + std::string(length, 'A') + "\nF\t" + transcript + "\t0\t" +
         std::to_string(position) + "\n";
}

std::string split_read(int read, const std::string& chromosome, char strand, int split, int errors,
                       long p1, long p2) {
  return std::to_string(read) + "\t" + std::string(50, 'C') + "\n" + strand + "\t" + chromosome +
         "\t" + std::to_string(split) + "\t" + std::to_string(errors) + "\t" + std::to_string(p1) +
         "\t" + std::to_string(p2) + "\n";
}

class RefjuncCliTest : public test::TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    std::filesystem::create_directory(path("work"));
    // chr1: 6000 bases in CRLF lines; chr2 has no evidence at all.
    spit(path("genome.fa"), ">chr1 primary assembly\r\n" +
                                lines_of(100, std::string(60, 'G') + "\r\n") + ">chr2 second\n" +
                                lines_of(50, std::string(60, 'T') + "\n"));
    spit(path("refFlat.txt"),
         "chr1\tT1\t+\t3\t1,100\t700,799\t900,999\t\n"
         "chr1\tT2\t-\t2\t2000,2049\t2500,2599\t\n");
    spit(path("hits"), hit(1, 10, "T1", 95) + hit(3, 150, "T1", 90) + hit(5, 10, "T2", 45) +
                           hit(5, 10, "T9", 1) + hit(5, 10, "T9", 2) + hit(6, 10, "T2", 46) +
                           hit(6, 10, "T9", 1) + hit(6, 10, "T9", 2));
    spit(path("run-splice-high"),
         split_read(10, "chr1", 'F', 19, 1, 1000, 5000) +       // D 1020, A 5021
             split_read(11, "chr1", 'F', 24, 0, 994, 4994) +    // merged into it
             split_read(12, "chr1", 'F', 19, 0, 1000, 5079) +   // same donor: deferred
             split_read(13, "chr1", 'F', 19, 0, 3000, 3050) +   // gap too short
             split_read(14, "chr1", 'F', 19, 0, 3000, 13001) +  // gap too long
             split_read(15, "chr1", 'R', 29, 2, 4000, 4500) +   // D 4030, A 4531
             split_read(16, "chr3", 'F', 19, 0, 1000, 5000) +   // no such chromosome
             split_read(17, "chr1", 'F', 19, 0, 7000, 8000));   // beyond the table
  }
  test::RunResult run(std::vector<std::string> args) {
    return test::run_program_in(dir(), test::program_path("refjunc"), args);
  }
  const std::vector<std::string> args = {"-Cgenome.fa", "-RrefFlat.txt", "-Fhits", "-Orun",
                                         "-Wwork",      "-N100",         "-X10000"};
};

TEST_F(RefjuncCliTest, ClustersSplitAndTranscriptReadsPerChromosomeAndStrand) {
  test::RunResult result = run(args);
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "");
  EXPECT_NE(result.err.find("outside"), std::string::npos) << result.err;
  const std::string a10(10, 'A');
  const std::string a150(150, 'A');
  EXPECT_EQ(slurp(path("work/refFlat-splice")),
            "1\t" + a10 + "\nF\tchr1\t5\t0\t100\t700\t1\n" +  //
                "3\t" + a150 + "\nF\tchr1\t10\t0\t100\t700\t1\n" + "3\t" + a150 +
                "\nF\tchr1\t110\t0\t799\t900\t1\n" + "5\t" + a10 +
                "\nR\tchr1\t5\t0\t2049\t2500\t3\n" + "6\t" + a10 +
                "\nR\tchr1\t4\t0\t2049\t2500\t3\n");
  const std::string junctions =
      "1 chr1 F 100,700 10,140 2\n"
      "2 chr1 F 799,900 110,40 1\n"
      "3 chr1 F 1020,5021 24,31 2\n"
      "4 chr1 R 2049,2500 5,6 1\n"
      "5 chr1 R 4030,4531 29,21 1\n"
      "6 chr1 F 1020,5100 19,31 1\n";
  EXPECT_EQ(slurp(path("work/junction")), junctions);
  // The last chromosome had no evidence: its deferred files were emptied.
  EXPECT_EQ(slurp(path("work/temp0")), "");
  EXPECT_EQ(slurp(path("work/temp1")), "");

  // A second run starts the junction file anew instead of numbering from 1 again after it.
  ASSERT_EQ(run(args).status, 0);
  EXPECT_EQ(slurp(path("work/junction")), junctions);
}

// Every exon table annoprep writes is read: from a GTF the exons of any
// strand are listed, from a GFF only those of '+' and '-' transcripts, and a
// transcript without exons crosses no junction.
TEST_F(RefjuncCliTest, ReadsAnnoprepTablesOfEveryStrandCharacter) {
  const std::string strands = "+-.?xR ";
  std::string gtf, gff, hits;
  for (std::size_t i = 0; i < strands.size(); ++i) {
    const std::string id = "S" + std::to_string(i);
    for (const char* exon : {"101\t200", "701\t799"}) {
      const std::string columns =
          std::string("chr1\tsrc\texon\t") + exon + "\t.\t" + strands[i] + "\t.\t";
      gtf += columns + "gene_id \"G\"; transcript_id \"" + id + "\";\n";
      gff += columns + "ID=e" + id + ";Parent=" + id + "\n";
    }
    hits += hit(static_cast<int>(i) + 1, 10, id, 95);
  }
  spit(path("a.gtf"), gtf);
  spit(path("a.gff"), gff);
  spit(path("hits"), hits);
  const std::string a10(10, 'A');
  const std::string listed[] = {"F\tchr1\t5\t0\t200\t701\t1\n", "R\tchr1\t5\t0\t200\t701\t1\n",
                                ".\tchr1\t5\t0\t200\t701\t1\n", "?\tchr1\t5\t0\t200\t701\t1\n",
                                "x\tchr1\t5\t0\t200\t701\t1\n", "R\tchr1\t5\t0\t200\t701\t1\n",
                                ".\tchr1\t5\t0\t200\t701\t1\n"};
  std::string from_gtf;
  for (int i = 0; i < 7; ++i) from_gtf += std::to_string(i + 1) + "\t" + a10 + "\n" + listed[i];
  // A GFF '-' transcript lists its exons last to first.
  const std::string from_gff =
      "1\t" + a10 + "\n" + listed[0] + "2\t" + a10 + "\nR\tchr1\t4\t0\t799\t101\t1\n";
  for (const auto& [type, expected] : {std::pair{"gtf", from_gtf}, std::pair{"gff", from_gff}}) {
    const std::string folder = path(std::string("anno-") + type);
    std::filesystem::create_directory(folder);
    test::RunResult made = test::run_program_in(
        dir(), test::program_path("annoprep"),
        {"-Fgenome.fa", std::string("-Ga.") + type, std::string("-T") + type, "-W" + folder});
    ASSERT_EQ(made.status, 0) << made.err;
    test::RunResult result = run({"-Cgenome.fa", "-R" + folder + "/refFlat.txt", "-Fhits", "-Orun",
                                  "-Wwork", "-N100", "-X10000"});
    ASSERT_EQ(result.status, 0) << type << ": " << result.err;
    EXPECT_EQ(slurp(path("work/refFlat-splice")), expected) << type;
  }
}

TEST_F(RefjuncCliTest, MissingOptionOrInputWritesNothing) {
  for (std::size_t drop = 0; drop < args.size(); ++drop) {
    std::vector<std::string> fewer = args;
    fewer.erase(fewer.begin() + static_cast<long>(drop));
    test::RunResult result = run(fewer);
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("usage: refjunc"), std::string::npos) << result.err;
  }
  std::vector<std::string> bad_gap = args;
  bad_gap[5] = "-N1o";
  EXPECT_EQ(run(bad_gap).status, 1);

  for (const char* missing : {"-Fnone", "-Rnone", "-Cnone", "-Onone"}) {
    std::vector<std::string> wrong = args;
    wrong.push_back(missing);
    test::RunResult result = run(wrong);
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("none"), std::string::npos) << result.err;
  }
  EXPECT_TRUE(std::filesystem::is_empty(path("work")));
}

// The files of the work folder are written in place: none may be an input.
TEST_F(RefjuncCliTest, AnInputAmongTheWorkFilesIsRefusedAndKept) {
  const std::string hits = slurp(path("hits"));
  spit(path("work/temp1"), hits);
  const std::pair<std::string, std::string> cases[] = {
      {"-Fwork/temp1", "option -W ('work/temp1') names the file of -F ('work/temp1')"},
      {"-RrefFlat.txt", "option -W ('work/junction') names the file of -R ('refFlat.txt')"},
  };
  const std::string exons = slurp(path("refFlat.txt"));
  for (const auto& [input, words] : cases) {
    // A link in place of an output leads to the file it names.
    if (input == cases[1].first)
      std::filesystem::create_symlink("../refFlat.txt", path("work/junction"));
    std::vector<std::string> given = args;
    given.push_back(input);
    test::RunResult result = run(given);
    EXPECT_EQ(result.status, 1) << words;
    EXPECT_NE(result.err.find(words + ", which the run would overwrite"), std::string::npos)
        << result.err;
    EXPECT_EQ(slurp(path("work/temp1")), hits);
    EXPECT_EQ(slurp(path("refFlat.txt")), exons);
    EXPECT_FALSE(test::file_exists(path("work/refFlat-splice")));
  }
}

}  // namespace
}  // namespace quilm
