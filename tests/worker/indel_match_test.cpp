// indel_match_x: the mismatch, insertion, deletion and end cases,
// the early give-up, and windows cut at the segment's start.
#include "worker/indel_match.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quilm {
namespace {

const std::string kRead = "ACGTTGCAAGCTTACGG";  // 17 bases

// The window of a candidate whose true placement lies at diagonal 2 (E = 2):
// two bases before and behind the placed segment text.
std::string window_around(const std::string& placed) {
  return "TT" + placed + "GGAA";
}

int run(const std::string& read, const std::string& window, int E, int& errors) {
  std::vector<std::int32_t> band;
  std::string w = window;
  w.resize(read.size() + 2 * E, '\0');
  return indel_match_x(read.data(), w.data(), static_cast<int>(read.size()), E, band, errors);
}

TEST(IndelMatch, ExactReadHasNoError) {
  int e = -1;
  EXPECT_EQ(run(kRead, window_around(kRead), 2, e), 1);
  EXPECT_EQ(e, 0);
}

TEST(IndelMatch, InteriorMismatchCostsOne) {
  std::string read = kRead;
  read[8] = 'T';  // was A
  int e = -1;
  EXPECT_EQ(run(read, window_around(kRead), 2, e), 1);
  EXPECT_EQ(e, 1);
}

TEST(IndelMatch, DeletedSegmentBaseCostsNothing) {
  std::string read = kRead.substr(0, 8) + kRead.substr(9);  // read lacks one base
  int e = -1;
  EXPECT_EQ(run(read, window_around(kRead), 2, e), 1);
  EXPECT_EQ(e, 0);
}

TEST(IndelMatch, InsertedReadBasesCostOneEach) {
  std::string one = kRead.substr(0, 8) + "C" + kRead.substr(8);
  int e = -1;
  EXPECT_EQ(run(one, window_around(kRead), 2, e), 1);
  EXPECT_EQ(e, 1);
  std::string two = kRead.substr(0, 8) + "CC" + kRead.substr(8);
  e = -1;
  EXPECT_EQ(run(two, window_around(kRead), 2, e), 1);
  EXPECT_EQ(e, 2);
}

TEST(IndelMatch, MismatchesAtTheReadStartCostHalfEach) {
  // N equals no base of the window, so no shifted placement helps.
  std::string read = "NNN" + kRead.substr(3);
  int e = -1;
  EXPECT_EQ(run(read, window_around(kRead), 2, e), 1);
  EXPECT_EQ(e, 1);
}

TEST(IndelMatch, TooManyErrorsGivesUp) {
  std::string read = kRead;
  for (int i : {3, 7, 11, 14}) read[i] = read[i] == 'A' ? 'C' : 'A';
  int e = 42;
  EXPECT_EQ(run(read, window_around(kRead), 2, e), -1);
  EXPECT_EQ(e, 42);  // untouched
  EXPECT_EQ(run(std::string(17, 'A'), std::string(21, 'C'), 2, e), -1);
}

TEST(IndelMatch, ZeroErrorsAllowsOnlyTheDiagonal) {
  int e = -1;
  EXPECT_EQ(run(kRead, kRead, 0, e), 1);
  EXPECT_EQ(e, 0);
  std::string read = kRead;
  read[8] = 'T';
  EXPECT_EQ(run(read, kRead, 0, e), -1);
}

TEST(IndelMatch, WindowCutAtSegmentStartAndZeroBytesPastTheEnd) {
  // The candidate lies at the segment's first base: the window starts there
  // (diagonal 0) and its last 2E bytes are past the end (zero).
  std::string w = kRead;
  int e = -1;
  EXPECT_EQ(run(kRead, w, 2, e), 1);
  EXPECT_EQ(e, 0);
  // The last base lies past the segment's end: a mismatch in the last row
  // lowers the score the count is taken from, so it costs a whole error.
  EXPECT_EQ(run(kRead, kRead.substr(0, 16), 2, e), 1);
  EXPECT_EQ(e, 1);
  // One mismatch at the read's first base costs half a point: nothing.
  std::string read = kRead;
  read[0] = 'N';
  EXPECT_EQ(run(read, window_around(kRead), 2, e), 1);
  EXPECT_EQ(e, 0);
}

TEST(IndelMatch, SingleBaseRead) {
  int e = -1;
  EXPECT_EQ(run("A", "CAG", 1, e), 1);
  EXPECT_EQ(e, 0);
}

}  // namespace
}  // namespace quilm
