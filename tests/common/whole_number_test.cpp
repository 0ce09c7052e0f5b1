#include "common/whole_number.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

namespace quilm {
namespace {

TEST(WholeNumber, TakesOnlyATextThatIsOneNumberInRange) {
  long value = 7;
  EXPECT_TRUE(parse_whole_number("0", value));
  EXPECT_EQ(value, 0);
  EXPECT_TRUE(parse_whole_number("-12", value));
  EXPECT_EQ(value, -12);
  for (const char* bad : {"", "+3", " 3", "3 ", "3x", "0x10", "-", "1e3", "3.0"}) {
    value = 7;
    EXPECT_FALSE(parse_whole_number(bad, value)) << bad;
    EXPECT_EQ(value, 7) << bad << ": left as it was";
  }
}

TEST(WholeNumber, ARangeOverflowIsRefused) {
  int small = 1;
  EXPECT_TRUE(parse_whole_number("2147483647", small));
  EXPECT_EQ(small, INT_MAX);
  EXPECT_FALSE(parse_whole_number("2147483648", small));
  EXPECT_EQ(small, INT_MAX);
  std::uint64_t unsigned_value = 0;
  EXPECT_FALSE(parse_whole_number("-1", unsigned_value));
  EXPECT_TRUE(parse_whole_number("18446744073709551615", unsigned_value));
  EXPECT_EQ(unsigned_value, UINT64_MAX);
}

}  // namespace
}  // namespace quilm
