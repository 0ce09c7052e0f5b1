#include "common/text_fields.hpp"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

#include "common/cigar.hpp"
#include "common/errors.hpp"

namespace quilm {
namespace {

using Fields = std::vector<std::string_view>;

TEST(TextFields, EveryTabStartsAFieldEvenAnEmptyOne) {
  Fields f = {"left over"};
  split_fields("", f);
  EXPECT_EQ(f, (Fields{""}));
  split_fields("a\tbc\t\td", f);
  EXPECT_EQ(f, (Fields{"a", "bc", "", "d"}));
  split_fields("a\t", f);
  EXPECT_EQ(f, (Fields{"a", ""}));
}

TEST(TextFields, StrandIsOneOfThreeSingleCharacters) {
  char strand = 'x';
  for (const char* good : {"+", "-", "."}) {
    EXPECT_TRUE(parse_strand(good, strand)) << good;
    EXPECT_EQ(strand, good[0]);
  }
  for (const char* bad : {"", "F", "++", " +"}) EXPECT_FALSE(parse_strand(bad, strand)) << bad;
  try {
    throw_bad_line("work/j.txt", 3, "not a junction line");
    FAIL();
  } catch (const InputError& e) {
    EXPECT_STREQ(e.what(), "'work/j.txt' line 3: not a junction line");
  }
}

TEST(Cigar, ReferenceLengthCountsOnlyOperationsOnTheReference) {
  EXPECT_EQ(cigar_reference_length(""), 0);
  EXPECT_EQ(cigar_reference_length("3S2=1X4I5D"), 8);
}

}  // namespace
}  // namespace quilm
