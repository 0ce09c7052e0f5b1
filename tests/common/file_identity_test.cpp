#include "common/file_identity.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "common/errors.hpp"
#include "support/test_support.hpp"

namespace quilm {
namespace {

using test::spit;

class FileIdentityTest : public test::TempDirTest {
 protected:
  // The message of the refusal, or "" when there is none.
  std::string refusal(const std::string& output, const std::string& input) {
    try {
      refuse_overwritten_inputs({{"option -o", output}}, {{"-D", path("reads.fq")}, {"-R", input}});
    } catch (const UsageError& e) {
      return e.what();
    }
    return "";
  }
};

TEST_F(FileIdentityTest, AnotherNameOfAnInputIsRefusedNamingBothFiles) {
  spit(path("reads.fq"), "@r\nA\n+\nI\n");
  spit(path("ref.fa"), ">c\nACGT\n");
  std::filesystem::create_directory(path("sub"));
  std::filesystem::create_symlink(path("ref.fa"), path("link.fa"));
  ASSERT_EQ(::link(path("ref.fa").c_str(), path("hard.fa").c_str()), 0);
  for (const std::string& output :
       {path("ref.fa"), path("sub/../ref.fa"), path("link.fa"), path("hard.fa")}) {
    EXPECT_EQ(refusal(output, path("ref.fa")), "option -o ('" + output +
                                                   "') names the file of -R ('" + path("ref.fa") +
                                                   "'), which the run would overwrite");
  }
  // An input given through a link is the file it leads to.
  EXPECT_NE(refusal(path("ref.fa"), path("link.fa")), "");
  EXPECT_NE(refusal(path("reads.fq"), path("ref.fa")).find("names the file of -D"),
            std::string::npos);
}

TEST_F(FileIdentityTest, DistinctMissingAndNonRegularFilesAreNotRefused) {
  spit(path("reads.fq"), "@r\nA\n+\nI\n");
  spit(path("ref.fa"), ">c\nACGT\n");
  spit(path("copy.fa"), ">c\nACGT\n");  // same bytes, another file
  ASSERT_EQ(::mkfifo(path("pipe").c_str(), 0600), 0);
  EXPECT_EQ(refusal(path("copy.fa"), path("ref.fa")), "");
  EXPECT_EQ(refusal(path("missing.sam"), path("ref.fa")), "");
  EXPECT_EQ(refusal(path("missing.sam"), path("missing.sam")), "");  // not read either
  EXPECT_EQ(refusal(path("pipe"), path("pipe")), "");
  EXPECT_EQ(refusal("-", "-"), "");
  EXPECT_EQ(refusal(dir(), dir()), "");
  EXPECT_FALSE(regular_file_identity(path("pipe")));
  EXPECT_FALSE(regular_file_identity(""));
  ASSERT_TRUE(regular_file_identity(path("ref.fa")));
  EXPECT_NE(regular_file_identity(path("ref.fa")), regular_file_identity(path("copy.fa")));
}

}  // namespace
}  // namespace quilm
