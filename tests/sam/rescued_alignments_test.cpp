// The export's side of the rescue stage: its file read back against the
// reference, the rule that lets a rescued alignment replace a read's hits,
// and the placement that the SAM record is built from.
#include "sam/rescued_alignments.hpp"

#include "common/errors.hpp"
#include "support/test_support.hpp"

namespace quilm::sam {
namespace {

class RescuedAlignments : public test::TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    add_chromosome(genome, "c1", std::string(500, 'A') + "CCGGTTAACG" + std::string(490, 'T'));
    add_chromosome(genome, "c2", std::string(300, 'G'));
  }
  ReferenceGenome genome;
};

TEST_F(RescuedAlignments, LinesBecomePlacements) {
  test::spit(path("run-rescue"),
             "4\tc1\t501\t+\t2S8M30N5M\t9\t0\tanchor\t+\t1\n"
             "4\tc2\t11\t-\t15M\t9\t0\tanchor\t.\t2\n");
  const auto all = read_rescued_alignments(path("run-rescue"), genome);
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].position, 500);
  EXPECT_EQ(all[0].read_length, 15u);
  EXPECT_EQ(all[0].kind, "anchor");
  EXPECT_EQ(all[1].chromosome, 1);
  EXPECT_EQ(all[1].hits, 2);

  PlacementWork work;
  Placement p;
  place_rescued(all[0], "ttccggttaaaaaaa", work, p);
  EXPECT_EQ(p.sequence, "TTCCGGTTAAAAAAA");
  describe_against_reference(genome.chromosomes[0], work, p);
  // Eight bases match CCGGTTAA; the five after the intron lie in the T run.
  EXPECT_EQ(p.edit_distance, 5);
  EXPECT_EQ(p.md, "8T0T0T0T0T0");
  place_rescued(all[1], "ACCCCCCCCCCCCCC", work, p);
  EXPECT_TRUE(p.reverse);
  EXPECT_EQ(p.sequence, "GGGGGGGGGGGGGGT");
}

TEST_F(RescuedAlignments, BadLinesAreNamed) {
  const std::pair<const char*, const char*> cases[] = {
      {"1\tc9\t1\t+\t10M\t9\t0\tclipped\t.\t1\n", "chromosome 'c9'"},
      {"1\tc2\t295\t+\t10M\t9\t0\tclipped\t.\t1\n", "past the end"},
      {"1\tc2\t5\t+\t10Q\t9\t0\tclipped\t.\t1\n", "not a rescued alignment"},
      {"1\tc2\t5\t*\t10M\t9\t0\tclipped\t.\t1\n", "not a rescued alignment"},
      {"3\tc2\t5\t+\t10M\t9\t0\tclipped\t.\t1\n2\tc2\t5\t+\t10M\t9\t0\tclipped\t.\t1\n",
       "line 2: read 2 follows read 3"},
  };
  for (const auto& [text, message] : cases) {
    test::spit(path("bad"), text);
    try {
      read_rescued_alignments(path("bad"), genome);
      ADD_FAILURE() << text;
    } catch (const InputError& e) {
      EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
    }
  }
}

TEST(RescuedIsBetter, OnlyAStrictlyHigherScoreReplacesHits) {
  Hit contiguous;
  contiguous.length = 100;
  contiguous.errors = 2;  // 98 - 8 = 90
  Hit split = contiguous;
  split.split = 40;
  split.errors = 1;  // 99 - 4 - 2 = 93
  EXPECT_TRUE(rescued_is_better(0, {}));
  EXPECT_TRUE(rescued_is_better(91, {&contiguous, 1}));
  EXPECT_FALSE(rescued_is_better(90, {&contiguous, 1}));
  const Hit both[] = {contiguous, split};
  EXPECT_FALSE(rescued_is_better(93, both));
  EXPECT_TRUE(rescued_is_better(94, both));
}

}  // namespace
}  // namespace quilm::sam
