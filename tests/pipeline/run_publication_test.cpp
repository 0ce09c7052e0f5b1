#include "pipeline/run_publication.hpp"

#include <unistd.h>

#include "support/test_support.hpp"

namespace quilm {
namespace {

using test::file_exists;
using test::slurp;
using test::spit;

class RunPublicationTest : public test::TempDirTest {};

TEST_F(RunPublicationTest, LaterOutputsOfAnEarlierRunAreNamedByKind) {
  EXPECT_EQ(later_step_outputs("o", true, ""), (std::vector<std::string>{"o-run", "o-rescue"}));
  EXPECT_EQ(later_step_outputs("o.txt", false, "x.bam"),
            (std::vector<std::string>{"o.txt.run", "x.bam", "x.bam.bai", "x.bam.csi", "x.bam.crai",
                                      "x.bai"}));
  EXPECT_EQ(later_step_outputs("o", true, "y.cram").back(), "y.crai");
}

// The earlier run's later outputs go before the new outputs come into
// place and the stamp after them; a link given as an output is the user's
// and stays, as does its target.
TEST_F(RunPublicationTest, EarlierLaterOutputsGoAndTheStampComesLast) {
  spit(path("o-rescue"), "old rescue\n");
  spit(path("o-run"), "old stamp\n");
  spit(path("kept.bam"), "user's file\n");
  ASSERT_EQ(::symlink(path("kept.bam").c_str(), path("o.bam").c_str()), 0);
  spit(path("ref.fa"), ">c\nACGT\n");
  spit(path("reads.fq"), "@r\nACGT\n+\nIIII\n");
  RunPublication publication;
  publication.stamp = make_run_stamp(path("ref.fa"), path("reads.fq"), "", 1, "p");
  publication.stamp_path = path("o-run");
  publication.earlier = later_step_outputs(path("o"), true, path("o.bam"));
  PendingOutput outputs[] = {PendingOutput(path("o-quilm2high")),
                             PendingOutput(path("o-quilm2low"))};
  for (PendingOutput& p : outputs) spit(p.path(), "new\n");
  publish_run_outputs(outputs, &publication, nullptr);
  EXPECT_FALSE(file_exists(path("o-rescue")));
  EXPECT_EQ(slurp(path("o-quilm2high")), "new\n");
  EXPECT_EQ(slurp(path("kept.bam")), "user's file\n");
  EXPECT_TRUE(file_exists(path("o.bam")));
  const auto stamp = read_run_stamp(path("o-run"));
  ASSERT_TRUE(stamp);
  EXPECT_EQ(run_number(*stamp), run_number(publication.stamp));
}

}  // namespace
}  // namespace quilm
