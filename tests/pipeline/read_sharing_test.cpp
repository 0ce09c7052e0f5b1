// Sharing the reads of a segment: who maps which slice, the plan file that
// carries it to the workers, and the joining of the slices' part files.
#include "pipeline/read_sharing.hpp"

#include <filesystem>

#include "common/errors.hpp"
#include "common/paths.hpp"
#include "common/share_plan.hpp"
#include "support/test_support.hpp"

namespace quilm {
namespace {

using test::file_exists;
using test::slurp;
using test::spit;

std::vector<std::vector<int>> as_lists(const SharePlan& plan) {
  std::vector<std::vector<int>> lists;
  for (const SharedSegment& s : plan) {
    lists.push_back({s.segment});
    lists.back().insert(lists.back().end(), s.processes.begin(), s.processes.end());
  }
  return lists;
}

using Lists = std::vector<std::vector<int>>;

TEST(ReadSharingPlan, IdleProcessesGoToTheSegmentWithTheMostWorkPerSlice) {
  // One segment, three processes: both idle ones help its own process 0.
  EXPECT_EQ(as_lists(plan_read_sharing({0}, {0, 1.0}, 3, 3)), (Lists{{1, 0, 1, 2}}));
  // Weights 1.0 and 0.5 with three helpers 2, 3, 4: the first goes to the
  // heavier segment (1.0 -> 0.5 per slice), the tie goes to the lower segment
  // (0.33 per slice), and the last to segment 2.
  EXPECT_EQ(as_lists(plan_read_sharing({0, 1}, {0, 1.0, 0.5}, 5, 5)),
            (Lists{{1, 0, 2, 3}, {2, 1, 4}}));
  // The assignment may leave any process idle; a segment that no process
  // maps (weight 0) gets no helper.
  EXPECT_EQ(as_lists(plan_read_sharing({-1, 2, 0}, {0, 0.0, 0.8, 0.9}, 4, 4)),
            (Lists{{2, 2, 3}, {3, 0, 1}}));
  // At most max_helpers help, the lowest numbers first.
  EXPECT_EQ(as_lists(plan_read_sharing({0}, {0, 1.0}, 4, 2)), (Lists{{1, 0, 1, 2}}));
  EXPECT_TRUE(plan_read_sharing({0}, {0, 1.0}, 4, 0).empty());
  // No idle process, or nothing to map: nothing is shared.
  EXPECT_TRUE(plan_read_sharing({0, 1, 0}, {0, 1.0, 1.0, 0.5}, 2, 2).empty());
  EXPECT_TRUE(plan_read_sharing({-1, -1}, {0, 0.0, 0.0}, 3, 3).empty());
  EXPECT_TRUE(plan_read_sharing({}, {0}, 3, 3).empty());
}

TEST(ReadSharingPlan, AllProcessesShareAllSegmentsOnlyWhenWholeOnesWouldNotEvenOut) {
  // Three equal segments for two processes: 2 against 1, far above the mean.
  EXPECT_EQ(as_lists(plan_even_sharing({0, 1, 0}, {0, 1.0, 1.0, 1.0}, 2)),
            (Lists{{1, 0, 1}, {2, 0, 1}, {3, 0, 1}}));
  // A short last segment: 1.86 against 1 is still uneven; a tiny one is not.
  EXPECT_EQ(plan_even_sharing({0, 1, 0}, {0, 1.0, 1.0, 0.86}, 2).size(), 3u);
  EXPECT_TRUE(plan_even_sharing({0, 1, 0}, {0, 1.0, 1.0, 0.1}, 2).empty());
  // Whole segments that even out, no more segments than processes, one
  // process: nothing is shared.
  EXPECT_TRUE(plan_even_sharing({0, 1, 0, 1}, {0, 1.0, 1.0, 1.0, 1.0}, 2).empty());
  EXPECT_TRUE(plan_even_sharing({0, 1}, {0, 1.0, 0.2}, 2).empty());
  EXPECT_TRUE(plan_even_sharing({0, 0, 0}, {0, 1.0, 1.0, 1.0}, 1).empty());
  // Segments that no process maps stay out of the plan.
  EXPECT_EQ(as_lists(plan_even_sharing({0, -1, 1, 0}, {0, 1.0, 0.0, 1.0, 1.0}, 2)),
            (Lists{{1, 0, 1}, {3, 0, 1}, {4, 0, 1}}));
}

class SharePlanFile : public test::TempDirTest {};

TEST_F(SharePlanFile, WrittenAndReadBackAndGivesEachProcessItsJobs) {
  EXPECT_TRUE(read_share_plan(dir(), 3).empty());  // no file: nothing shared
  const SharePlan plan = {{1, {0, 2, 3}}, {3, {1, 4}}};
  write_share_plan(dir(), plan);
  EXPECT_EQ(slurp(path("sliceplan.txt")), "1 0 2 3\n3 1 4\n");
  EXPECT_EQ(as_lists(read_share_plan(dir(), 3)), as_lists(plan));

  // Segment 2 is not shared and stays with its own process 0, straight
  // into its result file.
  const std::vector<int> tasks = {0, 0, 1};
  auto jobs = [&](int process) {
    std::vector<std::string> out;
    for (const SegmentJob& j : worker_jobs(dir(), tasks, plan, process))
      out.push_back(std::to_string(j.segment) + " " + std::to_string(j.slice.index) + "/" +
                    std::to_string(j.slice.count) + " " +
                    std::filesystem::path(j.result_path).filename().string());
    return out;
  };
  EXPECT_EQ(jobs(0), (std::vector<std::string>{"1 0/3 1.r.part0", "2 0/1 2.r"}));
  EXPECT_EQ(jobs(1), (std::vector<std::string>{"3 0/2 3.r.part0"}));
  EXPECT_EQ(jobs(3), (std::vector<std::string>{"1 2/3 1.r.part2"}));
  EXPECT_EQ(jobs(4), (std::vector<std::string>{"3 1/2 3.r.part1"}));
  EXPECT_TRUE(jobs(5).empty());

  // Processes mapping the same segments start on different ones.
  const SharePlan even = {{1, {0, 1}}, {2, {0, 1}}, {3, {0, 1}}};
  EXPECT_EQ(worker_jobs(dir(), tasks, even, 0).front().segment, 1);
  const std::vector<SegmentJob> second = worker_jobs(dir(), tasks, even, 1);
  std::vector<int> order;
  for (const SegmentJob& j : second) order.push_back(j.segment * 10 + j.slice.index);
  EXPECT_EQ(order, (std::vector<int>{21, 31, 11}));

  write_share_plan(dir(), {});
  EXPECT_EQ(slurp(path("sliceplan.txt")), "");
  EXPECT_TRUE(read_share_plan(dir(), 3).empty());
}

TEST_F(SharePlanFile, MalformedLinesAreRefusedNamingFileAndLine) {
  for (const char* text : {"1 0 1\n1 2 3\n", "1 0 1\n4 0 1\n", "1\n", "1 -1 2\n", "1 0  1\n",
                           "1 0 1 \n", "x 0 1\n", "\n"}) {
    spit(path("sliceplan.txt"), text);
    try {
      read_share_plan(dir(), 3);
      ADD_FAILURE() << "accepted: " << text;
    } catch (const InputError& e) {
      EXPECT_NE(std::string(e.what()).find("sliceplan.txt' line"), std::string::npos) << e.what();
    }
  }
}

class JoiningParts : public test::TempDirTest {};

TEST_F(JoiningParts, PartsAreJoinedInSliceOrderAndRemoved) {
  const SharePlan plan = {{2, {1, 0, 3}}};
  spit(path("2.r"), "old results of an earlier cycle\n");
  spit(path("2.r.part0"), "1\tA\n");
  spit(path("2.r.part1"), "");  // a slice with no hit
  std::string big;
  for (int i = 0; i < 300000; ++i) big += std::to_string(i) + "\tACGT\nF\t0\t12\n";
  spit(path("2.r.part2"), big);  // larger than the copy buffer
  join_slice_parts(dir(), plan, "stage");
  EXPECT_EQ(slurp(path("2.r")), "1\tA\n" + big);
  for (int j = 0; j < 3; ++j) EXPECT_FALSE(file_exists(path("2.r.part" + std::to_string(j))));
}

TEST_F(JoiningParts, AMissingPartFailsTheStageAndLeavesTheResultFileAlone) {
  const SharePlan plan = {{1, {0, 1}}};
  spit(path("1.r"), "earlier\n");
  spit(path("1.r.part0"), "1\tA\n");
  try {
    join_slice_parts(dir(), plan, "mapping cycle with seed 12");
    FAIL() << "no error";
  } catch (const LaunchError& e) {
    const std::string what = e.what();
    EXPECT_NE(what.find("mapping cycle with seed 12"), std::string::npos) << what;
    EXPECT_NE(what.find(path("1.r.part1")), std::string::npos) << what;
    EXPECT_NE(what.find("worker process 1"), std::string::npos) << what;
  }
  EXPECT_EQ(slurp(path("1.r")), "earlier\n");

  // Before a launch, stale parts of the plan go, so that none can stand in
  // for a part that a worker did not write.
  remove_slice_parts(dir(), plan);
  EXPECT_FALSE(file_exists(path("1.r.part0")));
  EXPECT_TRUE(file_exists(path("1.r")));
}

}  // namespace
}  // namespace quilm
