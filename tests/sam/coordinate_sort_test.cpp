#include "sam/coordinate_sort.hpp"

#include <htslib/sam.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "common/progress_display.hpp"
#include "sam/hts_handles.hpp"
#include "sam/stored_records.hpp"
#include "support/test_support.hpp"

namespace quilm::sam {
namespace {

class CoordinateSortTest : public test::TempDirTest {};

struct SortedRecord {
  std::uint32_t tid;
  long pos;
  int arrival;
  bool operator==(const SortedRecord&) const = default;
};

// `count` records, many at the same positions, through a sorter with the
// given memory (bytes) and threads, in sorted blocks of 70 records, the
// writing shown on `progress`; the records as written, and the runs spilled.
std::pair<std::vector<SortedRecord>, std::size_t> sort_records(
    const std::string& dir, std::size_t memory, int threads, int count = 3000,
    ProgressDisplay* progress = nullptr) {
  const std::string text = "@HD\tVN:1.6\tSO:coordinate\n@SQ\tSN:a\tLN:100000\n@SQ\tSN:b\tLN:9\n";
  HeaderPtr header(sam_hdr_parse(text.size(), text.c_str()));
  const ThreadPoolPtr pool = make_thread_pool(threads);
  auto sorter = std::make_unique<CoordinateSorter>(make_sorter(dir + "/run", memory, pool.get()));
  RecordPtr b = make_record();
  const std::string seq(60, 'A'), qual(60, 10);
  const std::uint32_t cigar = 60u << BAM_CIGAR_SHIFT | BAM_CMATCH;
  SortBlock block;
  std::uint64_t blocks = 0;
  for (int i = 0; i < count; ++i) {
    const int tid = i % 7 == 0 ? -1 : i % 5 == 0 ? 1 : 0;
    const long pos = tid < 0 ? -1 : tid == 1 ? 0 : (i * 7919L) % 990;
    std::string name = std::to_string(i);
    name.insert(name.begin(), 'r');  // not "r" + ...: a false -Wrestrict of GCC 12
    const std::uint16_t flag = tid < 0 ? BAM_FUNMAP : i % 3 == 0 ? BAM_FREVERSE : 0;
    EXPECT_GE(bam_set1(b.get(), name.size(), name.c_str(), flag, tid, pos, 0, tid < 0 ? 0 : 1,
                       &cigar, -1, -1, 0, 60, seq.c_str(), qual.c_str(), 0),
              0);
    append_record(block.records, b.get());
    if (i % 70 == 69 || i == count - 1) {
      sort_block(block, blocks++);
      sorter_add(*sorter, header.get(), std::move(block));
      block = {};
    }
  }
  const std::size_t runs = sorter->runs.paths.size();
  {
    HtsFilePtr out(sam_open((dir + "/sorted.bam").c_str(), "wb"));
    EXPECT_EQ(sam_hdr_write(out.get(), header.get()), 0);
    sorter_finish(*sorter, header.get(), out.get(), dir + "/sorted.bam", progress);
  }
  sorter.reset();  // the runs' files go with the sorter
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);
  HtsFilePtr in(sam_open((dir + "/sorted.bam").c_str(), "rb"));
  HeaderPtr read_header(sam_hdr_read(in.get()));
  std::vector<SortedRecord> records;
  while (sam_read1(in.get(), read_header.get(), b.get()) >= 0)
    records.push_back({static_cast<std::uint32_t>(b->core.tid), b->core.pos,
                       std::stoi(bam_get_qname(b.get()) + 1) * (bam_is_rev(b.get()) ? -1 : 1)});
  return {records, runs};
}

// By position, forward before reverse, then in arrival order; the same
// records whether sorted in memory or in spilled runs, on one thread or in
// the pool.
TEST_F(CoordinateSortTest, SortSpillsRunsAndMergesThemInOrder) {
  const auto [in_memory, no_runs] = sort_records(dir(), 16 << 20, 1);
  EXPECT_EQ(no_runs, 0u);
  ASSERT_EQ(in_memory.size(), 3000u);
  const auto after = [](const SortedRecord& a, const SortedRecord& b) {
    if (a.tid != b.tid || a.pos != b.pos) return std::pair(a.tid, a.pos) > std::pair(b.tid, b.pos);
    if ((a.arrival < 0) != (b.arrival < 0)) return a.arrival < 0;
    return std::abs(a.arrival) > std::abs(b.arrival);
  };
  EXPECT_EQ(std::adjacent_find(in_memory.begin(), in_memory.end(), after), in_memory.end());
  for (int threads : {1, 2, 3}) {
    SCOPED_TRACE(threads);
    const auto [spilled, runs] = sort_records(dir(), 64 << 10, threads);
    EXPECT_GT(runs, 2u);
    EXPECT_TRUE(spilled == in_memory);
    EXPECT_TRUE(sort_records(dir(), 16 << 20, threads).first == in_memory);
  }
}

// The sorted records are shown as they are written, of all the sorter took
// in, whether they come from memory or from spilled runs (whose own writing
// is not shown); the records are the same as without the display.
TEST_F(CoordinateSortTest, SortedWritingShowsTheRecordsWritten) {
  const std::string sorting = path("sorting");
  std::filesystem::create_directory(sorting);
  const auto plain = sort_records(sorting, 16 << 20, 1, 10000).first;
  for (const std::size_t memory : {std::size_t{16} << 20, std::size_t{256} << 10}) {
    SCOPED_TRACE(memory);
    std::FILE* out = std::fopen(path("shown").c_str(), "w");
    ASSERT_NE(out, nullptr);
    double now = 0;
    std::vector<SortedRecord> records;
    std::size_t runs = 0;
    {
      ProgressDisplay display(
          "quilm2sam: sorted output", out, false, [&now] { return now += 60; }, "records");
      std::tie(records, runs) = sort_records(sorting, memory, 1, 10000, &display);
    }
    std::fclose(out);
    EXPECT_EQ(runs > 0, memory < (1u << 20));
    EXPECT_TRUE(records == plain);
    const std::string shown = test::slurp(path("shown"));
    EXPECT_EQ(shown.rfind("quilm2sam: sorted output: 4096 of 10000 records (41.0%), 68 records/s, "
                          "0:01:26 left\n",
                          0),
              0u)
        << shown;
    EXPECT_NE(shown.find("\nquilm2sam: sorted output: 8192 of 10000 records (81.9%)"),
              std::string::npos)
        << shown;
    EXPECT_EQ(std::count(shown.begin(), shown.end(), '\n'), 2) << shown;
  }
}

}  // namespace
}  // namespace quilm::sam
