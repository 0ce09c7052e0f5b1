// The seed index store: a stored index serves lookups exactly like a fresh
// build; a damaged, foreign or truncated file is never used (and never read
// out of bounds) but rebuilt with a message; a store that cannot be written
// leaves the run correct; concurrent builders leave one whole file.
#include "worker/index_store.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>

#include "common/errors.hpp"
#include "support/seed_buckets.hpp"
#include "support/test_support.hpp"
#include "worker/index_image.hpp"
#include "worker/store_lock.hpp"

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
void expect_buckets(const Index& index, const test::SeedBuckets& plain) {
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
    const test::SeedBuckets plain = test::seed_buckets(seg, L);
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
  expect_buckets(obtain_seed_index(seg, 8, 1, ""), test::seed_buckets(seg, 8));
  EXPECT_FALSE(fs::exists(store()));
}

// A worker reuses one segment's memory for the next: the bytes of a
// shorter segment or index in memory that held a longer one must read
// exactly as fresh ones, with zeros behind the segment's last base.
TEST_F(IndexStoreTest, MemoryReusedFromJobToJobServesLikeFreshMemory) {
  std::mt19937 rng(12);
  const std::string longer = generated(rng, 90000);
  const std::string shorter = generated(rng, 30000);
  test::spit(path("long.txt"), longer);
  test::spit(path("short.txt"), shorter);
  JobMemory memory;
  const ReadSlice alone{0, 1};
  EXPECT_EQ(index_copy(&memory, alone), nullptr);  // a process with few segments maps them
  memory.copy_indexes = true;
  for (const std::string* text : {&longer, &shorter, &longer, &shorter}) {
    const std::string file = path(text == &shorter ? "short.txt" : "long.txt");
    Segment seg = load_segment(file, 0, &memory.bases);
    ASSERT_EQ(seg.length, text->size());
    for (std::size_t i = 0; i < seg.length; ++i)
      ASSERT_EQ(seg.data()[i], std::toupper(static_cast<unsigned char>((*text)[i]))) << i;
    for (std::size_t i = seg.length; i < seg.length + kSegmentPad; ++i)
      ASSERT_EQ(seg.data()[i], 0) << i;
    const test::SeedBuckets plain = test::seed_buckets(seg, 9);
    std::string said;
    // Built and stored on the first sight of a segment, copied afterwards
    // (in the second round into memory that held the longer index).
    for (int pass = 0; pass < 2; ++pass) {
      ReducedSeedIndex index = obtain_quietly(
          [&] { return obtain_reduced_seed_index(seg, 9, 0, store(), index_copy(&memory, alone)); },
          said);
      EXPECT_EQ(said, "");
      expect_buckets(index, plain);
      give_back(&memory, alone, Segment(), std::move(index.memory));
    }
    give_back(&memory, alone, std::move(seg), IndexMemory());
  }
  // A shared segment's index is mapped, never copied into the kept memory.
  EXPECT_EQ(index_copy(&memory, ReadSlice{1, 2}), nullptr);
  ReusableMemory kept;
  kept.give_back(IndexMemory::anonymous(1 << 20));
  const IndexMemory small = kept.take(1000);
  EXPECT_EQ(small.size(), 1000u);
  EXPECT_GE(small.capacity(), std::size_t{1} << 20);
}

TEST_F(IndexStoreTest, ADamagedOrForeignIndexIsRebuiltWithAMessage) {
  std::mt19937 rng(12);
  const Segment seg = segment_of(generated(rng, 40000));
  const test::SeedBuckets plain = test::seed_buckets(seg, 8);
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
  const test::SeedBuckets plain = test::seed_buckets(seg, 8);
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
  expect_buckets(obtain_reduced_seed_index(again, 8, 1, store()), test::seed_buckets(again, 8));
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
      test::seed_buckets(seg, 7));
  EXPECT_NE(said.find(unusable), std::string::npos) << said;
  EXPECT_NE(said.find("not stored"), std::string::npos) << said;
}

TEST_F(IndexStoreTest, ConcurrentBuildersLeaveOneWholeFile) {
  std::mt19937 rng(15);
  const Segment seg = segment_of(generated(rng, 200000));
  const test::SeedBuckets plain = test::seed_buckets(seg, 10);
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

std::size_t count_of(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// The bound of the lock wait, for one test.
class LockWaitOf {
 public:
  explicit LockWaitOf(const char* seconds) { ::setenv(kStoreLockWaitVariable, seconds, 1); }
  ~LockWaitOf() { ::unsetenv(kStoreLockWaitVariable); }
};

TEST(StoreLockWait, DefaultOverrideAndBadValues) {
  EXPECT_EQ(store_lock_wait(nullptr), kStoreLockWait);
  EXPECT_EQ(store_lock_wait("0"), std::chrono::seconds(0));
  EXPECT_EQ(store_lock_wait("7"), std::chrono::seconds(7));
  for (const char* bad : {"", "-1", "1.5", "2s", " 3", "x"}) {
    try {
      store_lock_wait(bad);
      ADD_FAILURE() << "'" << bad << "' was taken";
    } catch (const UsageError& e) {
      EXPECT_NE(std::string(e.what()).find(kStoreLockWaitVariable), std::string::npos) << e.what();
    }
  }
}

// A lock held by a run that does not end (here an open file of this
// process, which flock treats as another holder): the worker says once whom
// it waits for, gives up after the bound, and builds in memory.
TEST_F(IndexStoreTest, ALockHeldForEverIsWaitedForOnlyUntilTheBound) {
  std::mt19937 rng(17);
  const Segment seg = segment_of(generated(rng, 30000));
  const test::SeedBuckets plain = test::seed_buckets(seg, 8);
  obtain_reduced_seed_index(seg, 8, 1, store());
  const fs::path file = stored_files().at(0);
  fs::remove(file);
  const std::string lock = file.string() + ".lock";
  test::spit(lock, "process 4242 on far-node\n");
  const int held = ::open(lock.c_str(), O_RDWR);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);

  const LockWaitOf one_second("1");
  std::string said;
  const auto start = std::chrono::steady_clock::now();
  expect_buckets(
      obtain_quietly([&] { return obtain_reduced_seed_index(seg, 8, 1, store()); }, said), plain);
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(950));
  EXPECT_LT(waited, std::chrono::seconds(10));
  EXPECT_EQ(count_of(said, "waiting for '" + lock + "', held by process 4242 on far-node"), 1u)
      << said;
  EXPECT_EQ(count_of(said, "gave up waiting for '" + lock + "' after 1 s"), 1u) << said;
  EXPECT_EQ(count_of(said, "\n"), 2u) << said;
  EXPECT_FALSE(fs::exists(file));  // built in memory, not stored

  // Released: the next worker takes it, stores the index and says who holds it now.
  ::close(held);
  expect_buckets(
      obtain_quietly([&] { return obtain_reduced_seed_index(seg, 8, 1, store()); }, said), plain);
  EXPECT_EQ(said, "");
  EXPECT_TRUE(fs::exists(file));
  EXPECT_EQ(test::slurp(lock).rfind("process " + std::to_string(::getpid()) + " on ", 0), 0u)
      << test::slurp(lock);
}

// A FIFO (or a folder) at the name of an index or of its lock is never
// opened, which would block for ever, nor replaced: the index is built in
// memory with a message.
TEST_F(IndexStoreTest, AnEntryThatIsNotARegularFileIsNeverOpened) {
  std::mt19937 rng(18);
  const Segment seg = segment_of(generated(rng, 30000));
  const test::SeedBuckets plain = test::seed_buckets(seg, 8);
  obtain_reduced_seed_index(seg, 8, 1, store());
  const fs::path file = stored_files().at(0);
  const std::string lock = file.string() + ".lock";
  ::alarm(60);  // a blocked open ends the test program instead of hanging it
  for (const std::string& entry : {file.string(), lock}) {
    for (const bool fifo : {true, false}) {
      SCOPED_TRACE(entry + (fifo ? " fifo" : " folder"));
      fs::remove(file);
      fs::remove(lock);
      if (fifo)
        ASSERT_EQ(::mkfifo(entry.c_str(), 0600), 0);
      else
        fs::create_directories(entry + "/inside");
      std::string said;
      expect_buckets(
          obtain_quietly([&] { return obtain_reduced_seed_index(seg, 8, 1, store()); }, said),
          plain);
      EXPECT_NE(said.find("'" + entry + "' is not a regular file"), std::string::npos) << said;
      EXPECT_NE(said.find("built in memory and not stored"), std::string::npos) << said;
      EXPECT_EQ(fs::is_fifo(entry), fifo);
      EXPECT_EQ(fs::is_directory(entry), !fifo);
      fs::remove_all(entry);
    }
  }
  ::alarm(0);
}

// The attack that unkeyed checksums allow: an image built from other bases,
// sealed with this segment's identity, planted under its name. A store
// folder that others can write is not used at all; in a sticky one, files
// of other users are not; anywhere, a file others can write is not.
TEST_F(IndexStoreTest, AStoreOthersCouldHaveWrittenIsNotTrusted) {
  std::mt19937 rng(19);
  const Segment seg = segment_of(generated(rng, 30000));
  const test::SeedBuckets plain = test::seed_buckets(seg, 8);
  obtain_reduced_seed_index(seg, 8, 1, store());
  const fs::path file = stored_files().at(0);
  const std::string good = test::slurp(file);
  std::string planted;
  {
    const std::string other_bases = generated(rng, seg.length + 1000).substr(0, seg.length);
    test::spit(path("other.txt"), other_bases);
    const Segment other = load_segment(path("other.txt"), 1);
    ASSERT_EQ(other.length, seg.length);
    ReducedSeedIndex forged = build_reduced_seed_index(other, 8);
    seal_index_image(forged.memory.data(),
                     {8, IndexVariant::kReduced, 1, seg.length, segment_hash(seg)});
    planted.assign(reinterpret_cast<const char*>(forged.memory.data()),
                   image_header(forged.memory.data()).image_bytes);
  }
  const auto plant = [&](mode_t mode, uid_t owner) {
    test::spit(file, planted);
    ASSERT_EQ(::chmod(file.c_str(), mode), 0);
    ASSERT_EQ(::chown(file.c_str(), owner, static_cast<gid_t>(-1)), 0);
  };
  const auto first_position = [&] {
    return obtain_reduced_seed_index(seg, 8, 1, store()).positions[0];
  };
  const ReducedSeedIndex truth = obtain_reduced_seed_index(seg, 8, 1, "");
  // What the model says: a store only we can write is believed.
  plant(0644, ::geteuid());
  ASSERT_NE(first_position(), truth.positions[0]);

  struct Case {
    const char* what;
    mode_t folder_mode;
    mode_t file_mode;
    uid_t file_owner;
    const char* message;
  };
  const Case cases[] = {
      {"folder others can write", 0777, 0644, ::geteuid(),
       "is not used: users other than its owner"},
      {"folder its group can write", 0775, 0644, ::geteuid(),
       "is not used: users other than its owner"},
      {"file others can write", 0755, 0646, ::geteuid(), "users other than its owner can write it"},
      {"file of another user, sticky folder", 01777, 0644, 12345,
       "owned by another user (uid 12345)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(::chmod(store().c_str(), 0755), 0);
    plant(c.file_mode, c.file_owner);
    ASSERT_EQ(::chmod(store().c_str(), c.folder_mode), 0);
    std::string said;
    expect_buckets(
        obtain_quietly([&] { return obtain_reduced_seed_index(seg, 8, 1, store()); }, said), plain);
    EXPECT_NE(said.find(c.message), std::string::npos) << said;
  }
  // A sticky folder others can write, with our own file in it, is used.
  ASSERT_EQ(::chmod(store().c_str(), 01777), 0);
  test::spit(file, good);
  ASSERT_EQ(::chmod(file.c_str(), 0644), 0);
  std::string said;
  expect_buckets(
      obtain_quietly([&] { return obtain_reduced_seed_index(seg, 8, 1, store()); }, said), plain);
  EXPECT_EQ(said, "");

  // A folder the store makes is writable by its owner only, whatever the umask.
  const mode_t mask = ::umask(0002);
  obtain_reduced_seed_index(seg, 8, 1, path("new/store"));
  ::umask(mask);
  struct stat st {};
  ASSERT_EQ(::stat(path("new/store").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 022, 0u);
}

// A stored image cut short while it is mapped: the next touch of a lost
// page ends the process with a message naming the store, not a bare bus
// error.
TEST_F(IndexStoreTest, AnImageCutShortWhileMappedEndsWithAMessage) {
  std::mt19937 rng(20);
  const Segment seg = segment_of(generated(rng, 200000));
  obtain_reduced_seed_index(seg, 10, 1, store());
  const fs::path file = stored_files().at(0);
  EXPECT_EXIT(
      {
        report_store_faults(store());
        const ReducedSeedIndex index = obtain_reduced_seed_index(seg, 10, 1, store());
        if (::truncate(file.c_str(), kIndexPage) != 0) _exit(3);
        std::int64_t sum = 0;
        for (std::uint64_t i = 0; i < index.position_count; i += 512) sum += index.positions[i];
        _exit(sum == 0 ? 4 : 5);
      },
      testing::ExitedWithCode(1),
      "seed index store: error: an index file in '[^']*store' was cut short");
}

}  // namespace
}  // namespace quilm
