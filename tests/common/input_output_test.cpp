#include <zlib.h>

#include "common/errors.hpp"
#include "common/input_file.hpp"
#include "common/output_file.hpp"
#include "support/test_support.hpp"

namespace quilm {
namespace {

using test::slurp;
using test::spit;

class InputOutputTest : public test::TempDirTest {};

void write_gzip(const std::string& path, const std::string& text) {
  gzFile gz = gzopen(path.c_str(), "wb");
  ASSERT_NE(gz, nullptr);
  ASSERT_EQ(gzwrite(gz, text.data(), static_cast<unsigned>(text.size())),
            static_cast<int>(text.size()));
  gzclose(gz);
}

TEST_F(InputOutputTest, PlainAndGzipFilesReadTheSameLines) {
  const std::string text = "first line\nsecond\r\n\nlast without line feed";
  spit(path("plain.txt"), text);
  write_gzip(path("packed.gz"), text);
  for (const char* name : {"plain.txt", "packed.gz"}) {
    InputFile in(path(name), 7);  // a tiny block exercises every refill
    std::string line;
    std::vector<std::string> lines;
    while (in.read_line(line)) lines.push_back(line);
    EXPECT_EQ(lines,
              (std::vector<std::string>{"first line", "second\r", "", "last without line feed"}))
        << name;
  }
  EXPECT_FALSE(is_gzip_file(path("plain.txt")));
  EXPECT_TRUE(is_gzip_file(path("packed.gz")));
}

TEST_F(InputOutputTest, MissingFileNamesThePath) {
  try {
    InputFile in(path("absent.fa"));
    FAIL() << "no error";
  } catch (const IoError& e) {
    EXPECT_NE(std::string(e.what()).find("absent.fa"), std::string::npos);
  }
}

TEST_F(InputOutputTest, CorruptGzipIsAnError) {
  write_gzip(path("packed.gz"), std::string(100000, 'A'));
  std::string bytes = slurp(path("packed.gz"));
  bytes.resize(bytes.size() / 2);
  bytes[bytes.size() - 5] ^= 0x55;
  spit(path("cut.gz"), bytes);
  EXPECT_THROW(read_whole_file(path("cut.gz")), IoError);
}

TEST_F(InputOutputTest, OutputAppendsAndTruncates) {
  {
    OutputFile out(path("o.txt"), OutputFile::Mode::kTruncate, 4);
    out.write("abcdefgh");
    out.write_int(-42);
    out.put('\n');
    out.close();
  }
  append_text(path("o.txt"), "tail\n");
  EXPECT_EQ(slurp(path("o.txt")), "abcdefgh-42\ntail\n");
  create_empty_file(path("o.txt"));
  EXPECT_EQ(slurp(path("o.txt")), "");
}

TEST_F(InputOutputTest, FullDiskIsReported) {
  OutputFile small("/dev/full", OutputFile::Mode::kTruncate, 16);
  small.write("few bytes");
  EXPECT_THROW(small.close(), IoError);
  OutputFile large("/dev/full", OutputFile::Mode::kTruncate, 16);
  EXPECT_THROW(large.write("more than sixteen bytes of text"), IoError);
}

}  // namespace
}  // namespace quilm
