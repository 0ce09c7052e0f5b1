// Memos of checks already made: recalled only for the very stamp and kind
// they were written for, never written for a file that may still change
// within one clock tick, and a file's stamp moves with every rewrite.
#include "worker/check_memo.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <vector>

#include "support/test_support.hpp"

namespace quilm {
namespace {

class CheckMemoTest : public test::TempDirTest {};

FileStamp stamp_of(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  const std::optional<FileStamp> stamp = file_stamp(fd);
  ::close(fd);
  return stamp.value();
}

TEST_F(CheckMemoTest, RecalledOnlyForTheSameKindAndStamp) {
  const FileStamp old{42, 1000, 1'000'000'000, 2'000'000'000};
  const std::string memo = path("memo");
  EXPECT_EQ(recall_memo(memo, "tables", old), std::nullopt);  // none yet
  remember_memo(memo, "tables", old, "00ff");
  EXPECT_EQ(recall_memo(memo, "tables", old), "00ff");
  EXPECT_EQ(recall_memo(memo, "segment", old), std::nullopt);
  std::vector<FileStamp> others(4, old);
  others[0].inode += 1;
  others[1].size -= 1;
  others[2].modified_ns += 1;
  others[3].changed_ns += 1;
  for (const FileStamp& other : others) EXPECT_EQ(recall_memo(memo, "tables", other), std::nullopt);
  test::spit(memo, "tables 42 1000 1000000000 2000000000\n");  // no value
  EXPECT_EQ(recall_memo(memo, "tables", old), std::nullopt);
  test::spit(memo, "tables 42 1000 1000000000 2000000000 00ff extra\n");
  EXPECT_EQ(recall_memo(memo, "tables", old), std::nullopt);
}

TEST_F(CheckMemoTest, AFreshFileGetsNoMemoAndEveryRewriteMovesItsStamp) {
  test::spit(path("file"), "ACGT");
  const FileStamp first = stamp_of(path("file"));
  EXPECT_FALSE(stamp_settled(first, std::chrono::system_clock::now()));
  EXPECT_TRUE(stamp_settled(first, std::chrono::system_clock::now() + kStampSettling));
  remember_memo(path("memo"), "tables", first, "1");
  EXPECT_EQ(recall_memo(path("memo"), "tables", first), std::nullopt);
  test::spit(path("file"), "ACGTT");
  EXPECT_NE(stamp_of(path("file")), first);
  // Nothing is written where the memo's folder does not exist.
  remember_memo(path("none/memo"), "tables", FileStamp{1, 1, 0, 0}, "1");
  EXPECT_EQ(recall_memo(path("none/memo"), "tables", FileStamp{1, 1, 0, 0}), std::nullopt);
}

// A memo is believed only from a regular file that no one but its owner can
// have written; a FIFO in its place is passed over at once, never waited on.
TEST_F(CheckMemoTest, OnlyATrustedRegularFileIsAMemo) {
  const FileStamp old{42, 1000, 1'000'000'000, 2'000'000'000};
  const std::string memo = path("memo");
  remember_memo(memo, "tables", old, "00ff");
  struct stat st {};
  ASSERT_EQ(::stat(memo.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 022, 0u);
  EXPECT_EQ(recall_memo(memo, "tables", old), "00ff");
  for (const mode_t loose : {0664, 0646}) {
    ASSERT_EQ(::chmod(memo.c_str(), loose), 0);
    EXPECT_EQ(recall_memo(memo, "tables", old), std::nullopt) << loose;
  }
  ASSERT_EQ(::chmod(memo.c_str(), 0644), 0);
  // In a sticky folder that others can write, only our own (or root's).
  StoreFolderTrust shared;
  shared.shared = true;
  EXPECT_EQ(recall_memo(memo, "tables", old, shared), "00ff");
  ASSERT_EQ(::chown(memo.c_str(), 12345, 12345), 0);
  EXPECT_EQ(recall_memo(memo, "tables", old, shared), std::nullopt);
  EXPECT_EQ(recall_memo(memo, "tables", old), "00ff");

  ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0600), 0);
  ::alarm(20);  // a blocked open ends the test program instead of hanging it
  EXPECT_EQ(recall_memo(path("fifo"), "tables", old), std::nullopt);
  ::alarm(0);
}

}  // namespace
}  // namespace quilm
