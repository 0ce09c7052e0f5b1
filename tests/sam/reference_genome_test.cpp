#include "sam/reference_genome.hpp"

#include <string>

#include "common/errors.hpp"
#include "support/test_support.hpp"

namespace quilm::sam {
namespace {

class ReferenceGenomeTest : public test::TempDirTest {};

TEST_F(ReferenceGenomeTest, ReferenceNamesAndLengthsFollowTheRun) {
  // Every CR is dropped, as the run's segmentation drops it.
  test::spit(path("ref.fa"), ">c1 some text\r\nac\rgT\r\nNN\n>empty\n>c2\nGG\n");
  const ReferenceGenome g = load_reference(path("ref.fa"));
  ASSERT_EQ(g.chromosomes.size(), 2u);
  std::string buffer;
  EXPECT_EQ(g.chromosomes[0].name + "=" + std::string(g.chromosomes[0].fetch(0, 6, buffer)),
            "c1=ACGTNN");
  EXPECT_EQ(g.chromosomes[1].length, 2);
  EXPECT_EQ(find_chromosome(g, "c2"), 1);
  EXPECT_EQ(find_chromosome(g, "empty"), -1);
  test::spit(path("twice.fa"), ">c1\nAC\n>c1 again\nGT\n");
  EXPECT_THROW(load_reference(path("twice.fa")), InputError);
}

TEST_F(ReferenceGenomeTest, BlanksInSequenceLinesAreSkippedWithOneWarning) {
  test::spit(path("ref.fa"), ">c1\nAC GT \r\nA\tC \n>c2\n GG\n");
  testing::internal::CaptureStderr();
  const ReferenceGenome g = load_reference(path("ref.fa"));
  const std::string err = testing::internal::GetCapturedStderr();
  ASSERT_EQ(g.chromosomes.size(), 2u);
  std::string buffer;
  EXPECT_EQ(g.chromosomes[0].length, 6);
  EXPECT_EQ(std::string(g.chromosomes[0].fetch(0, 6, buffer)), "ACGTAC");
  EXPECT_EQ(std::string(g.chromosomes[1].fetch(0, 2, buffer)), "GG");
  EXPECT_EQ(err, "quilm2sam: warning: reference '" + path("ref.fa") +
                     "': 5 blanks and tabs in sequence lines skipped; they are not bases\n");
  test::spit(path("clean.fa"), ">c1\nACGT\n");
  testing::internal::CaptureStderr();
  load_reference(path("clean.fa"));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST_F(ReferenceGenomeTest, ChromosomeNamesThatSamForbidsAreRefused) {
  test::spit(path("ref.fa"), ">c1\nACGT\n>*\n\n>c,2\nACGT\n");
  const ReferenceGenome g = load_reference(path("ref.fa"));
  try {
    check_sam_names(g);
    FAIL() << "accepted";
  } catch (const InputError& e) {
    // The '*' without bases is left out of the genome, so it is not named.
    EXPECT_NE(std::string(e.what()).find("'" + path("ref.fa") + "': sequence name 'c,2' holds ','"),
              std::string::npos)
        << e.what();
  }
  test::spit(path("ok.fa"), ">c1\nACGT\n>*\n\n");
  EXPECT_NO_THROW(check_sam_names(load_reference(path("ok.fa"))));
}

}  // namespace
}  // namespace quilm::sam
