// Runs the built annoprep on a small real GTF and its GFF3 counterpart over
// the bundled three-chromosome genome.
#include <zlib.h>

#include <map>

#include "support/test_support.hpp"

namespace quilm {
namespace {

using test::file_exists;
using test::slurp;
using test::spit;

const char* const kOutputs[] = {"genome_info", "refFlat.txt", "refFlat_info", "refMrna.fa",
                                "refMrna_sort.fa"};

class AnnoprepCliTest : public test::TempDirTest {
 protected:
  test::RunResult annoprep(const std::string& annotation, const std::string& type) {
    return test::run_program_in(dir(), test::program_path("annoprep"),
                                {"-F" + test::source_path("examples/genome.fa"), "-G" + annotation,
                                 "-T" + type, "-W" + dir()});
  }
  static std::string data(const std::string& name) {
    return test::source_path("tests/tools/annoprep/data/" + name);
  }
  std::map<std::string, std::string> outputs() {
    std::map<std::string, std::string> all;
    for (const char* name : kOutputs) all[name] = slurp(path(name));
    return all;
  }
};

// The genome's records, read independently of the program.
std::map<std::string, std::string> genome() {
  std::map<std::string, std::string> records;
  std::string text = slurp(test::source_path("examples/genome.fa")), name;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    if (line[0] == '>') {
      name = line.substr(1, line.find(' ') - 1);
    } else {
      records[name] += line;
    }
  }
  return records;
}

std::string bases(const std::string& chromosome, long start, long end) {
  static const auto records = genome();
  return records.at(chromosome).substr(start - 1, end - start + 1);
}

void write_gzip(const std::string& path, const std::string& text) {
  gzFile gz = gzopen(path.c_str(), "wb");
  ASSERT_NE(gz, nullptr);
  gzwrite(gz, text.data(), static_cast<unsigned>(text.size()));
  gzclose(gz);
}

const char* const kRefFlat =
    "chrA\tENST00000412713.1\t-\t2\t99312,99398\t98344,98782\t\n"
    "chrA\tENST00000457069.1\t+\t2\t68092,68208\t73210,73862\t\n"
    "chrB\tENST00000408112.1\t-\t1\t86657,86734\t\n"
    "chrB\tENST00000474642.1\t-\t3\t120566,120769\t115264,115356\t80372,80633\t\n"
    "chrC\tENST00000426653.1\t+\t2\t77669,78143\t78426,78803\t\n";

TEST_F(AnnoprepCliTest, GtfRunWritesAllFiveFiles) {
  auto run = annoprep(data("mini.gtf"), "gtf");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(slurp(path("genome_info")), "chrA\t150000\nchrB\t150000\nchrC\t150000\n");
  EXPECT_EQ(slurp(path("refFlat.txt")), kRefFlat);
  EXPECT_EQ(slurp(path("refFlat_info")), "chrA\t2\t4\nchrB\t2\t4\nchrC\t1\t2\n");
  const std::string m412 = bases("chrA", 98344, 98782) + bases("chrA", 99312, 99398);
  const std::string p457 = bases("chrA", 68092, 68208) + bases("chrA", 73210, 73862);
  const std::string m408 = bases("chrB", 86657, 86734);
  const std::string m474 =
      bases("chrB", 80372, 80633) + bases("chrB", 115264, 115356) + bases("chrB", 120566, 120769);
  const std::string p426 = bases("chrC", 77669, 78143) + bases("chrC", 78426, 78803);
  const std::string sorted = ">ENST00000408112.1\n" + m408 + "\n>ENST00000412713.1\n" + m412 +
                             "\n>ENST00000426653.1\n" + p426 + "\n>ENST00000457069.1\n" + p457 +
                             "\n>ENST00000474642.1\n" + m474 + "\n";
  EXPECT_EQ(slurp(path("refMrna_sort.fa")), sorted);
  EXPECT_EQ(slurp(path("refMrna.fa")).substr(0, 19 + m412.size()), ">ENST00000412713.1\n" + m412);

  // A second run into the same folder replaces the files instead of adding to them.
  auto first = outputs();
  ASSERT_EQ(annoprep(data("mini.gtf"), "gtf").status, 0);
  EXPECT_EQ(outputs(), first);
}

TEST_F(AnnoprepCliTest, GffRunListsMinusExonsLastLineFirst) {
  auto run = annoprep(data("mini.gff3"), "gff");
  ASSERT_EQ(run.status, 0) << run.err;
  // The GFF3 lists '-' exons ascending, so the table matches the GTF's.
  EXPECT_EQ(slurp(path("refFlat.txt")), kRefFlat);
  EXPECT_EQ(slurp(path("refFlat_info")), "chrA\t2\t4\nchrB\t2\t4\nchrC\t1\t2\n");
  const std::string m474 =
      bases("chrB", 120566, 120769) + bases("chrB", 115264, 115356) + bases("chrB", 80372, 80633);
  const std::string sorted = slurp(path("refMrna_sort.fa"));
  EXPECT_NE(sorted.find(">ENST00000474642.1\n" + m474 + "\n"), std::string::npos);
  EXPECT_EQ(sorted.size(), slurp(path("refMrna.fa")).size());
}

TEST_F(AnnoprepCliTest, GzippedAnnotationGivesTheSameFiles) {
  ASSERT_EQ(annoprep(data("mini.gtf"), "gtf").status, 0);
  auto plain = outputs();
  write_gzip(path("mini.gtf.gz"), slurp(data("mini.gtf")));
  ASSERT_EQ(annoprep(path("mini.gtf.gz"), "gtf").status, 0);
  EXPECT_EQ(outputs(), plain);
}

TEST_F(AnnoprepCliTest, BadCommandLinesWriteNothing) {
  const std::string genome = "-F" + test::source_path("examples/genome.fa");
  const std::string annotation = "-G" + data("mini.gtf");
  const std::string folder = "-W" + dir();
  struct Case {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{genome, annotation, "-Tgtf"}, "missing option -W"},
      {{genome, annotation, "-TGTF", folder}, "\"gtf\" or \"gff\""},
      {{genome, "-G", "-Tgtf", folder}, "option -G has an empty value"},
      {{genome, "-G" + path("absent.gtf"), "-Tgtf", folder}, "absent.gtf"},
      {{"-F" + path("absent.fa"), annotation, "-Tgtf", folder}, "absent.fa"},
      {{genome, annotation, "-Tgtf", "-W" + path("absent")}, "absent"},
  };
  spit(path("refFlat.txt"), "earlier run\n");
  for (const auto& c : cases) {
    auto run = test::run_program_in(dir(), test::program_path("annoprep"), c.args);
    EXPECT_EQ(run.status, 1) << c.message;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_FALSE(file_exists(path("genome_info"))) << c.message;
    EXPECT_EQ(slurp(path("refFlat.txt")), "earlier run\n");
  }
}

// An output renamed over the genome or the annotation would lose it.
TEST_F(AnnoprepCliTest, AnInputAmongTheOutputsIsRefusedAndKept) {
  const std::string genome = slurp(test::source_path("examples/genome.fa"));
  const std::string annotation = slurp(data("mini.gtf"));
  spit(path("refMrna.fa"), genome);
  spit(path("genome_info.annoprep-partial"), annotation);
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"-F" + path("refMrna.fa"), "-G" + data("mini.gtf"), "-Tgtf", "-W" + dir()},
       "option -W ('" + path("refMrna.fa") + "') names the file of -F ('" + path("refMrna.fa") +
           "'), which the run would overwrite"},
      {{"-F" + test::source_path("examples/genome.fa"), "-Ggenome_info.annoprep-partial", "-Tgtf",
        "-W."},
       "option -W ('./genome_info.annoprep-partial') names the file of -G"},
  };
  for (const auto& [args, words] : cases) {
    auto run = test::run_program_in(dir(), test::program_path("annoprep"), args);
    EXPECT_EQ(run.status, 1) << words;
    EXPECT_NE(run.err.find(words), std::string::npos) << run.err;
    EXPECT_EQ(slurp(path("refMrna.fa")), genome);
    EXPECT_EQ(slurp(path("genome_info.annoprep-partial")), annotation);
    EXPECT_FALSE(file_exists(path("refFlat.txt")));
  }
}

TEST_F(AnnoprepCliTest, FailureHalfwayKeepsTheEarlierFiles) {
  ASSERT_EQ(annoprep(data("mini.gtf"), "gtf").status, 0);
  auto earlier = outputs();
  // A gzip'd genome cut short fails while the new files are being written.
  write_gzip(path("cut.fa.gz"), slurp(test::source_path("examples/genome.fa")));
  std::string packed = slurp(path("cut.fa.gz"));
  spit(path("cut.fa.gz"), packed.substr(0, packed.size() * 3 / 4));
  auto run = test::run_program_in(
      dir(), test::program_path("annoprep"),
      {"-F" + path("cut.fa.gz"), "-G" + data("mini.gtf"), "-Tgtf", "-W" + dir()});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("cut.fa.gz"), std::string::npos) << run.err;
  EXPECT_EQ(outputs(), earlier);
  for (const char* name : kOutputs)
    EXPECT_FALSE(file_exists(path(std::string(name) + ".annoprep-partial"))) << name;
}

}  // namespace
}  // namespace quilm
