#include "common/text_scanner.hpp"

#include <string>

#include "support/test_support.hpp"

namespace quilm {
namespace {

class TextScannerTest : public test::TempDirTest {};

TEST_F(TextScannerTest, ScannerFollowsScanfRules) {
  test::spit(path("s.txt"), "  -12\tword\n\nF\t7 2.5");
  InputFile in(path("s.txt"));
  TextScanner scan(in);
  int v = 0;
  std::string w;
  char c = 0;
  double d = 0;
  ASSERT_EQ(scan.read_int(v), Scan::kOk);
  EXPECT_EQ(v, -12);
  ASSERT_EQ(scan.read_word(w), Scan::kOk);
  EXPECT_EQ(w, "word");
  ASSERT_TRUE(scan.skip_space());
  ASSERT_EQ(scan.read_char(c), Scan::kOk);
  EXPECT_EQ(c, 'F');
  ASSERT_EQ(scan.read_int(v), Scan::kOk);
  ASSERT_EQ(scan.read_double(d), Scan::kOk);
  EXPECT_EQ(d, 2.5);
  EXPECT_EQ(scan.read_int(v), Scan::kEof);
}

}  // namespace
}  // namespace quilm
