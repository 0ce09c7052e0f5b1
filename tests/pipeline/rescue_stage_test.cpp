// The driver's side of the rescue stage: which reads go to the workers and
// what their earlier hits score, and the combination of the workers' files
// into the run's rescued alignments.
#include "pipeline/rescue_stage.hpp"

#include "common/errors.hpp"
#include "support/test_support.hpp"

namespace quilm {
namespace {

using test::slurp;
using test::spit;

class RescueStage : public test::TempDirTest {};

TEST_F(RescueStage, ReadsWithErrorsOrNoHitAreChosenWithTheirEarlierScores) {
  const std::string r10(10, 'A');
  spit(path("0.fastq"), "1\t" + r10 + "\n2\t" + r10 + "\n3\t" + r10 + "\n4\t" + r10 + "\n");
  // Read 1: contiguous hits with 2 and 1 errors; read 2: exact; read 4: a
  // split hit with 1 error and a contiguous one with 1 error.
  spit(path("quilm2.tmp"), "1\t" + r10 + "\nF\tc\t2\t5\n1\t" + r10 + "\nF\tc\t1\t9\n2\t" + r10 +
                               "\nF\tc\t0\t1\n" + "4\t" + r10 + "\nR\tc\t1\t3\n");
  spit(path("splice.tmp"), "4\t" + r10 + "\t0000000000\nF\tc\t4\t1\t100\t300\n");
  long chosen = 0;
  const std::vector<int> earlier = choose_rescue_reads(dir(), 4, chosen);
  EXPECT_EQ(chosen, 3);
  EXPECT_EQ(slurp(path("rescue0.fastq")), "1\t" + r10 + "\n3\t" + r10 + "\n4\t" + r10 + "\n");
  EXPECT_EQ(earlier, (std::vector<int>{kNoEarlierHit, 5, 10, kNoEarlierHit, 5}));
  // Only read 1 has one best hit, a contiguous one: read 4's ties with a split hit.
  EXPECT_EQ(slurp(path("rescue_hints.txt")), "1\tc\t9\tF\n");
  spit(path("quilm2.tmp"), "9\t" + r10 + "\nF\tc\t1\t5\n");
  EXPECT_THROW(choose_rescue_reads(dir(), 4, chosen), InputError);
}

TEST_F(RescueStage, BestAlignmentsOverSegmentsThatBeatTheEarlierHit) {
  // Segment 1 holds chrA (0..999); segment 2 holds chrA from 900 on, then
  // chrB from its offset 600.
  spit(path("fast_index.txt"), "1 0 0 1 chrA\n2 0 900 1 chrA\n2 600 0 2 chrB\n");
  // Read 1 is found twice in the overlap (same place), and once worse; read
  // 2 ties on two chromosomes; read 3 does not beat its earlier hit; read 4
  // runs from chrA into chrB and is dropped; read 5 is found only worse.
  spit(path("1.r"),
       "1\t950\t+\t50M\t50\t0\tmismatch\t.\n"
       "1\t10\t-\t10S40M\t35\t0\tclipped\t.\n"
       "3\t20\t+\t50M\t45\t1\tmismatch\t.\n");
  spit(path("2.r"),
       "1\t50\t+\t50M\t50\t0\tmismatch\t.\n"
       "2\t700\t+\t20M100N30M\t48\t0\tsplice\t+\n"
       "2\t10\t-\t20M100N30M\t48\t0\tsplice\t-\n"
       "4\t580\t+\t50M\t50\t0\tmismatch\t.\n");
  const std::vector<int> earlier = {kNoEarlierHit, 40,           kNoEarlierHit, 45,
                                    kNoEarlierHit, kNoEarlierHit};
  const RescueCounts counts = rescue_combine(dir(), 2, earlier, path("out-rescue"));
  EXPECT_EQ(slurp(path("out-rescue")),
            "1\tchrA\t951\t+\t50M\t50\t0\tmismatch\t.\t1\n"
            "2\tchrA\t911\t-\t20M100N30M\t48\t0\tsplice\t-\t2\n"
            "2\tchrB\t101\t+\t20M100N30M\t48\t0\tsplice\t+\t2\n");
  EXPECT_EQ(counts.rescued, 2);
  EXPECT_EQ(counts.was_unmapped, 1);
  EXPECT_EQ(counts.by_kind[static_cast<int>(RescueKind::kSplice)], 1);
  EXPECT_EQ(counts.by_kind[static_cast<int>(RescueKind::kMismatch)], 1);

  // A read outside the run, and reads out of order, name the file.
  for (const char* bad : {"7\t1\t+\t50M\t50\t0\tmismatch\t.\n",
                          "2\t1\t+\t50M\t50\t0\tmismatch\t.\n1\t1\t+\t50M\t50\t0\tmismatch\t.\n"}) {
    spit(path("2.r"), bad);
    try {
      rescue_combine(dir(), 2, earlier, path("out-rescue"));
      ADD_FAILURE() << bad;
    } catch (const InputError& e) {
      EXPECT_NE(std::string(e.what()).find(path("2.r")), std::string::npos) << e.what();
    }
  }
  // The earlier file stays as it was.
  EXPECT_NE(slurp(path("out-rescue")).find("chrB\t101"), std::string::npos);
}

}  // namespace
}  // namespace quilm
