#include "rescue/rescue_task.hpp"

#include "support/test_support.hpp"

namespace quilm {
namespace {

// Segment 1 holds contig c1 (offsets 0-100) and c2 (101-299), segment 2
// holds c3: junctions and hints land on their own contig's piece, in
// segment coordinates, and nowhere else.
class RescueTaskTest : public test::TempDirTest {
 protected:
  void SetUp() override {
    test::TempDirTest::SetUp();
    test::spit(path("fast_index.txt"), "1 0 0 0 c1\n1 101 0 1 c2\n2 0 0 2 c3\n");
  }
};

TEST_F(RescueTaskTest, JunctionsAndHintsLandOnTheirContigsPiece) {
  const std::vector<ChromosomeJunction> all = {
      {"c2", 11, 20, '+'},
      {"c1", 5, 50, '-'},
      {"c3", 5, 9, '+'},
      {"c1", 90, 120, '+'},  // runs past the end of c1's piece
      {"zz", 1, 9, '+'}};
  const SegmentJunctions one = segment_junctions(all, dir(), 2, 1, 300);
  ASSERT_NE(one.find(111, 120), nullptr);
  EXPECT_EQ(one.find(111, 120)->strand, '+');
  ASSERT_NE(one.find(4, 49), nullptr);
  EXPECT_EQ(one.starting_in(0, 300).size(), 2u);
  const SegmentJunctions two = segment_junctions(all, dir(), 2, 2, 50);
  ASSERT_EQ(two.starting_in(0, 50).size(), 1u);
  EXPECT_NE(two.find(4, 8), nullptr);

  test::spit(path("rescue_hints.txt"), "2\tc2\t5\tR\n1\tc1\t7\tF\n3\tc3\t1\tF\n4\tzz\t1\tF\n");
  const std::vector<SegmentHint> hints = segment_hints(dir(), 2, 1, 300);
  ASSERT_EQ(hints.size(), 2u);
  EXPECT_EQ(hints[0].read_number, 1);
  EXPECT_EQ(hints[0].diagonal, 7);
  EXPECT_FALSE(hints[0].reverse);
  EXPECT_EQ(hints[1].read_number, 2);
  EXPECT_EQ(hints[1].diagonal, 106);
  EXPECT_TRUE(hints[1].reverse);
  EXPECT_EQ(segment_hints(dir(), 2, 2, 50).size(), 1u);
}

}  // namespace
}  // namespace quilm
