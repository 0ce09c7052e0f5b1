// The version is set once, in CMake's project(); the files that state it for
// people and tools outside the build must name the same one.
#include <regex>

#include "common/version.hpp"
#include "support/test_support.hpp"

namespace quilm {
namespace {

std::string release() {
  const std::string text = version_text();
  return text.substr(0, text.find(' '));
}

TEST(ProjectFiles, CitationAndChangelogNameTheBuiltVersion) {
  std::smatch m;
  const std::string citation = test::slurp(test::source_path("CITATION.cff"));
  ASSERT_TRUE(std::regex_search(citation, m, std::regex(R"((^|\n)version: ([^\n]+))")));
  EXPECT_EQ(m[2].str(), release());
  // The newest release comes first.
  const std::string changelog = test::slurp(test::source_path("CHANGELOG.md"));
  ASSERT_TRUE(std::regex_search(changelog, m, std::regex(R"(\n## ([0-9][^ \n]*))")));
  EXPECT_EQ(m[1].str(), release());
  EXPECT_NE(test::slurp(test::source_path("LICENSE")).find("the quilm2 developers"),
            std::string::npos);
}

}  // namespace
}  // namespace quilm
