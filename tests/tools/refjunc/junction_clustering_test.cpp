#include <memory>

#include "common/output_file.hpp"
#include "common/paths.hpp"
#include "support/test_support.hpp"
#include "tools/refjunc/junction_table.hpp"
#include "tools/refjunc/splice_annotation.hpp"

namespace quilm::refjunc {
namespace {

using test::slurp;
using test::spit;

// A "-splice-high" record of a 50-base read whose first part ends at 0-based
// p1 + split and whose second part starts at p2 + split + 1.
std::string split_read(int read, const std::string& chromosome, char strand, int split, int errors,
                       long p1, long p2) {
  return std::to_string(read) + "\t" + std::string(50, 'C') + "\n" + strand + "\t" + chromosome +
         "\t" + std::to_string(split) + "\t" + std::to_string(errors) + "\t" + std::to_string(p1) +
         "\t" + std::to_string(p2) + "\n";
}

class JunctionClusteringTest : public test::TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    options.output_base = path("run");
    options.work_folder = dir();
    options.min_gap = 100;
    options.max_gap = 10000;
    spit(path("refFlat-splice"), "");
    create_empty_file(path("temp0"));
    create_empty_file(path("temp1"));
    out = std::make_unique<OutputFile>(path("junction"));
    run = std::make_unique<JunctionRun>(JunctionRun{JunctionTable{}, *out});
  }
  std::string junctions() {
    out->close();
    return slurp(path("junction"));
  }

  RefjuncOptions options;
  std::unique_ptr<OutputFile> out;
  std::unique_ptr<JunctionRun> run;
  const std::string chr1 = "chr1";
};

TEST_F(JunctionClusteringTest, MergeWithinOnePositionKeepsLongestAnchors) {
  spit(path("run-splice-high"),
       split_read(10, "chr1", 'F', 19, 1, 1000, 5000) +       // D 1020, A 5021
           split_read(11, "chr1", 'F', 24, 0, 994, 4994) +    // D 1019, A 5020: merged
           split_read(12, "chr1", 'F', 19, 0, 3000, 3050) +   // gap 50: too short
           split_read(13, "chr1", 'F', 19, 0, 3000, 13001) +  // gap 10001: too long
           split_read(14, "chr1", 'R', 19, 0, 3000, 3100) +   // other strand
           split_read(15, "chr2", 'F', 19, 0, 3000, 3100));   // other chromosome
  spliceresultcheck(options, {chr1, 6000, 'F'}, *run);
  EXPECT_EQ(junctions(), "1 chr1 F 1020,5021 24,31 2\n");
  EXPECT_EQ(slurp(path("temp0")), "");
}

TEST_F(JunctionClusteringTest, ConflictsAreDeferredAndRenumberedInLaterPasses) {
  const std::string c50(50, 'C');
  spit(path("run-splice-high"),
       split_read(21, "chr1", 'F', 19, 0, 1980, 2579) +      // D 2000, A 2600
           split_read(22, "chr1", 'F', 19, 0, 1980, 2679) +  // D 2000, A 2700
           split_read(23, "chr1", 'F', 19, 0, 1980, 2779));  // D 2000, A 2800
  spliceresultcheck(options, {chr1, 6000, 'F'}, *run);
  EXPECT_EQ(slurp(path("temp0")), "22\t" + c50 + "\nF\tchr1\t19\t0\t2000\t2700\t1\n" + "23\t" +
                                      c50 + "\nF\tchr1\t19\t0\t2000\t2800\t1\n");
  EXPECT_EQ(splicetempcheck({chr1, 6000, 'F'}, path("temp0"), path("temp1"), *run), 1);
  EXPECT_EQ(slurp(path("temp1")), "1\t" + c50 + "\nF\tchr1\t19\t0\t2000\t2800\t1\n");
  EXPECT_EQ(splicetempcheck({chr1, 6000, 'F'}, path("temp1"), path("temp2"), *run), 0);
  EXPECT_EQ(junctions(),
            "1 chr1 F 2000,2600 19,31 1\n2 chr1 F 2000,2700 19,31 1\n3 chr1 F 2000,2800 19,31 1\n");
}

TEST_F(JunctionClusteringTest, TranscriptWeightsSumBelowOneAreWrittenAsOne) {
  const std::string a10(10, 'A');
  spit(path("run-splice-high"), "");
  spit(path("refFlat-splice"), "5\t" + a10 + "\nR\tchr1\t5\t1\t2049\t2500\t3\n" +  //
                                   "6\t" + a10 + "\nR\tchr1\t4\t0\t2048\t2499\t3\n" + "7\t" + a10 +
                                   "\nR\tchr1\t4\t0\t3000\t3001\t1\n" +  // no intron
                                   "8\t" + a10 + "\nR\tchr1\t4\t0\t3000\t3002\t1\n");
  spliceresultcheck(options, {chr1, 6000, 'R'}, *run);
  EXPECT_EQ(junctions(), "1 chr1 R 2049,2500 5,6 1\n2 chr1 R 3000,3002 4,6 1\n");
}

TEST_F(JunctionClusteringTest, EvidenceOutsideTheTableIsSkipped) {
  reset_junction_table(run->table, 100);
  JunctionEvidence e{1099, 50, 10, 10, 0, 1.0};
  EXPECT_EQ(place_evidence(run->table, e), Placement::kFounded);
  for (long long donor : {-1LL, 1100LL, 1LL << 40}) {
    e.donor = donor;
    EXPECT_EQ(place_evidence(run->table, e), Placement::kOutside);
  }
  e.donor = 10;
  e.acceptor = 1100;
  EXPECT_EQ(place_evidence(run->table, e), Placement::kOutside);
  // Donors at or beyond the chromosome's length are kept but never written.
  EXPECT_EQ(junctions(), "");
}

TEST_F(JunctionClusteringTest, TableIsEmptyAgainAfterReset) {
  reset_junction_table(run->table, 100);
  EXPECT_EQ(place_evidence(run->table, {10, 60, 5, 5, 2, 1.0}), Placement::kFounded);
  EXPECT_EQ(place_evidence(run->table, {10, 70, 5, 5, 0, 1.0}), Placement::kDeferred);
  reset_junction_table(run->table, 50);
  EXPECT_EQ(place_evidence(run->table, {10, 70, 5, 5, 0, 1.0}), Placement::kFounded);
  long number = 0;
  write_junctions(run->table, "c", 'F', number, *out);
  EXPECT_EQ(junctions(), "1 c F 10,70 5,5 1\n");
}

}  // namespace
}  // namespace quilm::refjunc
