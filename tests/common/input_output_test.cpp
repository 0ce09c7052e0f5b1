#include <sys/stat.h>
#include <zlib.h>

#include <thread>

#include "common/errors.hpp"
#include "common/input_file.hpp"
#include "common/output_file.hpp"
#include "common/replacing_file.hpp"
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
  InputFile plain(path("plain.txt")), packed(path("packed.gz"));
  EXPECT_FALSE(plain.compressed());
  EXPECT_TRUE(packed.compressed());
}

TEST_F(InputOutputTest, FifoIsReadWholeAndSniffedFromTheSameStream) {
  // Many blocks of text: a second open or a read-ahead by the gzip check
  // would lose the first of them.
  std::string text;
  for (int i = 0; i < 30000; ++i) text += "line " + std::to_string(i) + "\n";
  spit(path("plain.txt"), text);
  write_gzip(path("packed.gz"), text);
  ASSERT_EQ(mkfifo(path("fifo").c_str(), 0600), 0);
  for (const char* name : {"plain.txt", "packed.gz"}) {
    std::thread writer([&] { spit(path("fifo"), slurp(path(name))); });
    InputFile in(path("fifo"), 4096);
    EXPECT_EQ(in.compressed(), std::string(name) == "packed.gz");
    std::string all;
    while (in.available() > 0 || in.refill()) {
      all.append(in.data(), in.available());
      in.consume(in.available());
    }
    writer.join();
    EXPECT_EQ(all, text) << name;
    EXPECT_EQ(in.share_read(), -1) << name;  // a pipe's size is unknown
  }
  // A file's share read grows to all of it, compressed or not.
  for (const char* name : {"plain.txt", "packed.gz"}) {
    InputFile in(path(name), 4096);
    EXPECT_EQ(in.share_read(), 0) << name;
    std::string line;
    for (int i = 0; i < 15000; ++i) in.read_line(line);
    EXPECT_GT(in.share_read(), 0) << name;
    EXPECT_LT(in.share_read(), 1) << name;
    while (in.read_line(line)) {
    }
    EXPECT_EQ(in.share_read(), 1) << name;
  }
  EXPECT_TRUE(is_one_pass_input(path("fifo")));
  EXPECT_TRUE(is_one_pass_input("-"));
  EXPECT_FALSE(is_one_pass_input(path("plain.txt")));
  EXPECT_FALSE(is_one_pass_input(path("absent")));
  EXPECT_THROW(check_readable(path("absent")), IoError);
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
  // The message names the file, not the descriptor zlib was given.
  for (const std::string& name : {std::string("cut.gz"), std::string("short.gz")}) {
    if (name == "short.gz") spit(path(name), slurp(path("packed.gz")).substr(0, 40));
    try {
      read_whole_file(path(name));
      ADD_FAILURE() << name << " was read";
    } catch (const IoError& e) {
      const std::string message = e.what();
      EXPECT_NE(message.find("cannot read '" + path(name) + "': "), std::string::npos) << message;
      EXPECT_EQ(message.find("<fd:"), std::string::npos) << message;
    }
  }
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

// Writes `pieces` through a ReplacingFile; true when the file was kept.
bool replace(const std::string& path, const std::vector<std::string>& pieces) {
  ReplacingFile out(path);
  for (const std::string& piece : pieces) out.write_block(piece.data(), piece.size());
  out.close();
  return out.unchanged();
}

struct timespec modified(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0);
  return st.st_mtim;
}

TEST_F(InputOutputTest, ReplacingFileKeepsBytesInPlaceAndWritesTheRest) {
  const std::string big(3u << 20, 'g');  // more than one compared piece
  EXPECT_FALSE(replace(path("r.txt"), {"head ", big, "tail"}));
  EXPECT_EQ(slurp(path("r.txt")), "head " + big + "tail");

  // The same bytes in other pieces: the file is not touched at all.
  const struct timespec before = modified(path("r.txt"));
  EXPECT_TRUE(replace(path("r.txt"), {"he", "ad " + big + "ta", "il"}));
  const struct timespec after = modified(path("r.txt"));
  EXPECT_EQ(before.tv_sec, after.tv_sec);
  EXPECT_EQ(before.tv_nsec, after.tv_nsec);

  // A difference anywhere, or a length of its own, gives exactly the new bytes.
  std::string changed = big;
  changed[changed.size() / 2] = 'x';
  EXPECT_FALSE(replace(path("r.txt"), {"head ", changed, "tail"}));
  EXPECT_EQ(slurp(path("r.txt")), "head " + changed + "tail");
  EXPECT_FALSE(replace(path("r.txt"), {"head ", changed}));
  EXPECT_EQ(slurp(path("r.txt")), "head " + changed);
  EXPECT_FALSE(replace(path("r.txt"), {"head ", changed, "tail", "more"}));
  EXPECT_EQ(slurp(path("r.txt")), "head " + changed + "tailmore");
  EXPECT_FALSE(replace(path("r.txt"), {}));
  EXPECT_EQ(slurp(path("r.txt")), "");
  // An empty file that was there and stays empty is kept; a new one is not.
  EXPECT_TRUE(replace(path("r.txt"), {}));
  EXPECT_FALSE(replace(path("new.txt"), {}));
  // Abandoned after a difference: no stale old bytes after the new ones.
  {
    const std::string longer = "head " + changed + "tail";
    spit(path("r.txt"), longer);
    ReplacingFile out(path("r.txt"));
    out.write_block("HEAD", 4);
  }
  EXPECT_EQ(slurp(path("r.txt")), "HEAD");
}

TEST_F(InputOutputTest, ReplacingFileRefusesALinkAndReportsAFullDisk) {
  spit(path("target.txt"), "kept");
  ASSERT_EQ(::symlink(path("target.txt").c_str(), path("link.txt").c_str()), 0);
  try {
    ReplacingFile out(path("link.txt"));
    FAIL() << "a symbolic link was followed";
  } catch (const IoError& e) {
    EXPECT_NE(std::string(e.what()).find("link.txt"), std::string::npos) << e.what();
  }
  EXPECT_EQ(slurp(path("target.txt")), "kept");
  ReplacingFile full("/dev/full");
  EXPECT_THROW(full.write_block("bytes", 5), IoError);
}

}  // namespace
}  // namespace quilm
