// The seed index store: a stored index serves lookups exactly like a fresh
// build; a damaged, foreign or truncated file is never used (and never read
// out of bounds) but rebuilt with a message; a store that cannot be written
// leaves the run correct; concurrent builders leave one whole file.
#include "worker/index_store.hpp"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>

#include "support/test_support.hpp"
#include "worker/index_image.hpp"
#include "worker/plain_seed_index.hpp"

namespace quilm {
namespace {

namespace fs = std::filesystem;

class IndexStoreTest : public test::TempDirTest {
 protected:
  Segment segment_of(const std::string& text) {
    test::spit(path("seg.txt"), text);
    return load_segment(path("seg.txt"), 1);
  }
  std::string store() const { return path("store"); }
  std::vector<fs::path> stored_files() const {
    std::vector<fs::path> files;
    if (!fs::exists(store())) return files;
    for (const auto& e : fs::directory_iterator(store()))
      if (e.path().extension() != ".lock") files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
  }
};

// Random bases with repeats, N runs and soft-masked stretches.
std::string generated(std::mt19937& rng, std::size_t length) {
  std::string s;
  while (s.size() < length) {
    switch (rng() % 5) {
      case 0:
        if (s.size() > 100) s += s.substr(rng() % (s.size() - 100), 60 + rng() % 40);
        break;
      case 1:
        s += std::string(1 + rng() % 20, 'N');
        break;
      case 2:
        for (int i = 0; i < 50; ++i) s += "acgt"[rng() % 4];
        break;
      default:
        for (int i = 0; i < 200; ++i) s += "ACGT"[rng() % 4];
    }
  }
  return s;
}

template <class Index>
void expect_buckets(const Index& index, const test::PlainBuckets& plain) {
  ASSERT_EQ(index.max_bucket, plain.max_bucket);
  for (std::size_t k = 0; k < plain.of_key.size(); ++k) {
    const std::int64_t id = index.translate(static_cast<std::int64_t>(k));
    const auto got = id < 0 ? std::span<const std::int32_t>() : index.bucket(id);
    ASSERT_TRUE(std::equal(got.begin(), got.end(), plain.of_key[k].begin(), plain.of_key[k].end()))
        << "key " << k;
  }
}

// Obtains the index while capturing what the store says on stderr.
template <class Obtain>
auto obtain_quietly(Obtain obtain, std::string& said) {
  testing::internal::CaptureStderr();
  auto index = obtain();
  said = testing::internal::GetCapturedStderr();
  return index;
}

TEST_F(IndexStoreTest, StoredIndexServesExactlyLikeAFreshBuild) {
  std::mt19937 rng(11);
  const Segment seg = segment_of(generated(rng, 60000));
  for (int L : {6, 9, 10}) {
    SCOPED_TRACE("L=" + std::to_string(L));
    const test::PlainBuckets plain = test::plain_buckets(seg, L);
    std::string said;
    for (int pass = 0; pass < 2; ++pass) {  // built and stored, then mapped
      expect_buckets(obtain_quietly([&] { return obtain_seed_index(seg, L, 1, store()); }, said),
                     plain);
      EXPECT_EQ(said, "");
      expect_buckets(
          obtain_quietly([&] { return obtain_reduced_seed_index(seg, L, 1, store()); }, said),
          plain);
      EXPECT_EQ(said, "");
    }
  }
  EXPECT_EQ(stored_files().size(), 6u);  // three seed lengths, two variants, no temporary files
  // No store: built in memory, nothing written.
  fs::remove_all(store());
  expect_buckets(obtain_seed_index(seg, 8, 1, ""), test::plain_buckets(seg, 8));
  EXPECT_FALSE(fs::exists(store()));
}

TEST_F(IndexStoreTest, ADamagedOrForeignIndexIsRebuiltWithAMessage) {
  std::mt19937 rng(12);
  const Segment seg = segment_of(generated(rng, 40000));
  const test::PlainBuckets plain = test::plain_buckets(seg, 8);
  std::string said;
  obtain_reduced_seed_index(seg, 8, 1, store());
  const fs::path file = stored_files().at(0);
  const std::string good = test::slurp(file);
  const IndexHeader& h = image_header(reinterpret_cast<const std::uint8_t*>(good.data()));

  // A file of another segment under this one's name.
  const Segment other = segment_of(generated(rng, 40000));
  obtain_reduced_seed_index(other, 8, 1, store());
  std::string foreign;
  for (const fs::path& p : stored_files())
    if (p != file) foreign = test::slurp(p);

  struct Damage {
    const char* what;
    std::string bytes;
  };
  auto flipped = [&](std::size_t at) {
    std::string s = good;
    s[at] = static_cast<char>(s[at] ^ 0x10);
    return s;
  };
  const std::vector<Damage> damages = {
      {"truncated", good.substr(0, good.size() - 1)},
      {"header only", good.substr(0, kIndexPage)},
      {"shorter than a header", good.substr(0, 100)},
      {"empty", ""},
      {"grown", good + "x"},
      {"magic", flipped(0)},
      {"seed length", flipped(offsetof(IndexHeader, seed_length))},
      {"line table", flipped(h.lines_offset + 70)},
      {"positions", flipped(h.positions_offset + 5)},
      {"dense starts", flipped(h.starts_offset + 4)},
      {"other segment", foreign},
  };
  for (const Damage& d : damages) {
    SCOPED_TRACE(d.what);
    test::spit(file, d.bytes);
    expect_buckets(
        obtain_quietly([&] { return obtain_reduced_seed_index(seg, 8, 1, store()); }, said), plain);
    EXPECT_NE(said.find(file.string()), std::string::npos) << said;
    EXPECT_NE(said.find("rebuilding"), std::string::npos) << said;
    EXPECT_EQ(test::slurp(file), good);  // the rebuilt file is the same bytes
  }
}

// Once a stored image and its segment file have settled, the first use
// checks the image fully and leaves memos; later uses check its header
// only. Any change of either file (in place, same size) makes the memo
// stale, so the change is seen as without memos.
TEST_F(IndexStoreTest, ASettledIndexIsCheckedFullyOnceAndAgainAfterAnyChange) {
  std::mt19937 rng(16);
  const std::string text = generated(rng, 30000);
  obtain_reduced_seed_index(segment_of(text), 8, 1, store());
  ASSERT_EQ(stored_files().size(), 1u);  // nothing settled yet: no memo
  const fs::path file = stored_files()[0];
  const fs::path memo = file.string() + ".checked";
  std::this_thread::sleep_for(kStampSettling + std::chrono::milliseconds(200));

  const Segment seg = load_segment(path("seg.txt"), 1);
  const test::PlainBuckets plain = test::plain_buckets(seg, 8);
  std::string said;
  expect_buckets(
      obtain_quietly([&] { return obtain_reduced_seed_index(seg, 8, 1, store()); }, said), plain);
  EXPECT_EQ(said, "");
  ASSERT_TRUE(fs::exists(memo));
  EXPECT_EQ(stored_files().size(), 3u);  // the image, its memo, the segment's hash
  expect_buckets(obtain_reduced_seed_index(seg, 8, 1, store()), plain);

  // A memo is all that lets the table pass be skipped: a forged one for a
  // damaged image is believed (the header still matches), a stale one not.
  const std::string good = test::slurp(file);
  const IndexHeader h = image_header(reinterpret_cast<const std::uint8_t*>(good.data()));
  std::string damaged = good;
  damaged[h.positions_offset + 1] ^= 0x40;
  test::spit(file, damaged);
  const std::string stale = test::slurp(memo);
  std::string forged = stale;
  {
    const int fd = ::open(file.c_str(), O_RDONLY);
    const FileStamp now = file_stamp(fd).value();
    ::close(fd);
    std::ostringstream line;
    line << "tables " << now.inode << ' ' << now.size << ' ' << now.modified_ns << ' '
         << now.changed_ns << ' ' << stale.substr(stale.rfind(' ') + 1);
    forged = line.str();
  }
  test::spit(memo, forged);
  std::int32_t first_good = 0;
  std::memcpy(&first_good, good.data() + h.positions_offset, sizeof first_good);
  EXPECT_NE(obtain_reduced_seed_index(seg, 8, 1, store()).positions[0], first_good);
  test::spit(memo, stale);
  expect_buckets(
      obtain_quietly([&] { return obtain_reduced_seed_index(seg, 8, 1, store()); }, said), plain);
  EXPECT_NE(said.find("rebuilding"), std::string::npos) << said;
  EXPECT_EQ(test::slurp(file), good);

  // The segment rewritten in place with other bases of the same length.
  std::string changed = text;
  for (std::size_t i = 0; i < 200; ++i) changed[1000 + i] = "ACGT"[rng() % 4];
  ASSERT_NE(changed, text);
  {
    std::fstream out(path("seg.txt"), std::ios::in | std::ios::out | std::ios::binary);
    out.write(changed.data(), static_cast<std::streamsize>(changed.size()));
  }
  const Segment again = load_segment(path("seg.txt"), 1);
  expect_buckets(obtain_reduced_seed_index(again, 8, 1, store()), test::plain_buckets(again, 8));
}

TEST_F(IndexStoreTest, EveryIdentityFieldMustMatch) {
  std::mt19937 rng(13);
  const Segment seg = segment_of(generated(rng, 20000));
  SeedIndex built = build_seed_index(seg, 7);
  IndexIdentity id{7, IndexVariant::kFull, 1, seg.length, segment_hash(seg)};
  seal_index_image(built.memory.data(), id);
  const std::uint8_t* image = built.memory.data();
  const std::size_t bytes = image_header(image).image_bytes;
  EXPECT_EQ(check_index_image(image, bytes, id), "");
  IndexIdentity other = id;
  other.masked_toggle = 0;
  EXPECT_NE(check_index_image(image, bytes, other), "");
  other = id;
  other.variant = IndexVariant::kReduced;
  EXPECT_NE(check_index_image(image, bytes, other), "");
  other = id;
  other.seed_length = 8;
  EXPECT_NE(check_index_image(image, bytes, other), "");
  other = id;
  other.segment_hash[31] ^= 1;
  EXPECT_NE(check_index_image(image, bytes, other), "");
  other = id;
  other.segment_length += 1;
  EXPECT_NE(check_index_image(image, bytes, other), "");
  EXPECT_NE(check_index_image(image, bytes - 4, id), "");
}

TEST_F(IndexStoreTest, AStoreThatCannotBeWrittenLeavesTheIndexInMemory) {
  std::mt19937 rng(14);
  const Segment seg = segment_of(generated(rng, 20000));
  test::spit(path("plain-file"), "x");
  std::string said;
  const std::string unusable = path("plain-file") + "/store";
  expect_buckets(
      obtain_quietly([&] { return obtain_reduced_seed_index(seg, 7, 1, unusable); }, said),
      test::plain_buckets(seg, 7));
  EXPECT_NE(said.find(unusable), std::string::npos) << said;
  EXPECT_NE(said.find("not stored"), std::string::npos) << said;
}

TEST_F(IndexStoreTest, ConcurrentBuildersLeaveOneWholeFile) {
  std::mt19937 rng(15);
  const Segment seg = segment_of(generated(rng, 200000));
  const test::PlainBuckets plain = test::plain_buckets(seg, 10);
  std::vector<pid_t> children;
  for (int c = 0; c < 3; ++c) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      const ReducedSeedIndex index = obtain_reduced_seed_index(seg, 10, 1, store());
      _exit(index.max_bucket == plain.max_bucket ? 0 : 1);
    }
    children.push_back(pid);
  }
  expect_buckets(obtain_reduced_seed_index(seg, 10, 1, store()), plain);
  for (pid_t pid : children) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  ASSERT_EQ(stored_files().size(), 1u);  // no temporary file left behind
  const std::string bytes = test::slurp(stored_files()[0]);
  const IndexIdentity id{10, IndexVariant::kReduced, 1, seg.length, segment_hash(seg)};
  EXPECT_EQ(
      check_index_image(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), id), "");
}

}  // namespace
}  // namespace quilm
