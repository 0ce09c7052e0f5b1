#include "common/seed_code.hpp"

#include <gtest/gtest.h>

#include <string>

namespace quilm {
namespace {

TEST(SeedCode, CodesAndReverseComplement) {
  EXPECT_EQ(base_code('A'), 0);
  EXPECT_EQ(base_code('T'), 1);
  EXPECT_EQ(base_code('C'), 2);
  EXPECT_EQ(base_code('G'), 3);
  EXPECT_EQ(base_code('N'), -1);
  EXPECT_EQ(base_code('a'), -1);
  std::string rc;
  reverse_complement("AACGTNa", rc);
  EXPECT_EQ(rc, "aNACGTT");
}

}  // namespace
}  // namespace quilm
