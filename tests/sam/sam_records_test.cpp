#include "sam/sam_records.hpp"

#include <gtest/gtest.h>

#include "sam/sam_test_data.hpp"

namespace quilm::sam {
namespace {

using test::mapping_hit;

TEST(MappingQualityTest, ByFileAndHitCount) {
  Hit hit = mapping_hit(0, 'F', 0, 36);
  EXPECT_EQ(mapping_quality(hit, 1), 60);
  hit.hit_class = HitClass::kLow;
  EXPECT_EQ(mapping_quality(hit, 1), kLowQualityMapq);
  hit.hit_class = HitClass::kMulti;
  EXPECT_EQ(mapping_quality(hit, 2), 3);
  EXPECT_EQ(mapping_quality(hit, 4), 1);
  EXPECT_EQ(mapping_quality(hit, 5), 0);
  // The mapping-only file: 36 bases are high quality up to 3 errors.
  hit.hit_class = HitClass::kUnclassified;
  hit.errors = 3;
  EXPECT_EQ(mapping_quality(hit, 1), 60);
  hit.errors = 4;
  EXPECT_EQ(mapping_quality(hit, 1), kLowQualityMapq);
  EXPECT_EQ(mapping_quality(hit, 3), 1);
}

}  // namespace
}  // namespace quilm::sam
