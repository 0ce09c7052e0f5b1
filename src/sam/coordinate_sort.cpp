#include "sam/coordinate_sort.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <new>
#include <queue>

#include "common/errors.hpp"
#include "sam/hts_handles.hpp"
#include "sam/stored_records.hpp"

namespace quilm::sam {

namespace {

std::uint64_t position_key(const bam1_core_t& c) {
  // tid -1 (unmapped) wraps to the largest value and so sorts last.
  return static_cast<std::uint64_t>(static_cast<std::uint32_t>(c.tid)) << 32 |
         static_cast<std::uint32_t>(c.pos + 1);
}

std::uint64_t strand_key(const bam1_core_t& c) {
  return static_cast<std::uint64_t>((c.flag & BAM_FREVERSE) != 0) << 63;
}

bool entry_less(const SortEntry& a, const SortEntry& b) {
  return a.position_key != b.position_key ? a.position_key < b.position_key
                                          : a.order_key < b.order_key;
}

void write_or_throw(htsFile* out, const sam_hdr_t* header, const bam1_t* b,
                    const std::string& path) {
  errno = 0;
  if (sam_write1(out, header, b) < 0) throw_hts_error("cannot write", path, out);
}

// The records written to the output so far, shown every `kStep` of them.
struct WrittenRecords {
  static constexpr long kStep = 4096;
  ProgressDisplay* progress = nullptr;  // null: not shown (a spilled run)
  long total = 0;
  long done = 0;
  void add() {
    if (++done % kStep == 0 && progress) progress->update(done, total);
  }
};

struct BlockHead {
  const SortEntry* entry;
  std::size_t block;
};

struct BlockHeadAfter {
  bool operator()(const BlockHead& a, const BlockHead& b) const {
    return entry_less(*b.entry, *a.entry);
  }
};

// Writes the blocks' records in order, merging their sorted keys, and drops
// the blocks. The records are read from all over the blocks: each block's
// next record is asked into the cache while the others' go first. Four cache
// lines hold a record of a short read whole.
void write_blocks(CoordinateSorter& s, const sam_hdr_t* header, htsFile* out,
                  const std::string& path, WrittenRecords& written) {
  constexpr std::size_t kPrefetchLines = 4;
  std::priority_queue<BlockHead, std::vector<BlockHead>, BlockHeadAfter> heads;
  for (std::size_t k = 0; k < s.blocks.size(); ++k)
    if (!s.blocks[k].entries.empty()) heads.push({s.blocks[k].entries.data(), k});
  while (!heads.empty()) {
    const BlockHead head = heads.top();
    heads.pop();
    const SortBlock& block = s.blocks[head.block];
    const bam1_t view = stored_record(block.records.data() + head.entry->offset);
    write_or_throw(out, header, &view, path);
    written.add();
    if (head.entry + 1 == block.entries.data() + block.entries.size()) continue;
    heads.push({head.entry + 1, head.block});
    // Here and not in a helper: GCC drops the calls of a local function
    // that only prefetches.
    const std::uint8_t* next = block.records.data() + head.entry[1].offset;
    for (std::size_t line = 0; line < kPrefetchLines; ++line) __builtin_prefetch(next + 64 * line);
  }
  s.blocks.clear();
  s.used = 0;
}

void spill(CoordinateSorter& s, const sam_hdr_t* header) {
  const std::string path = s.run_prefix + std::to_string(s.runs.paths.size()) + ".bam";
  s.runs.paths.push_back(path);
  // Runs are read back once: fast compression is enough.
  HtsFilePtr out(sam_open(path.c_str(), "wb1"));
  if (!out) throw_io_error("cannot create", path);
  share_pool(out.get(), s.pool, path);
  errno = 0;
  if (sam_hdr_write(out.get(), header) < 0) throw_hts_error("cannot write", path, out.get());
  WrittenRecords unshown;
  write_blocks(s, header, out.get(), path, unshown);
  close_or_throw(out, path);
}

struct RunHead {
  std::uint64_t position_key;
  std::uint64_t order_key;  // strand, then run number: runs hold arrival order
  std::size_t run;
};

struct RunHeadAfter {
  bool operator()(const RunHead& a, const RunHead& b) const {
    return a.position_key != b.position_key ? a.position_key > b.position_key
                                            : a.order_key > b.order_key;
  }
};

void merge_runs(CoordinateSorter& s, const sam_hdr_t* header, htsFile* out,
                const std::string& out_path, WrittenRecords& written) {
  const std::size_t count = s.runs.paths.size();
  std::vector<HtsFilePtr> inputs(count);
  std::vector<RecordPtr> records(count);
  std::priority_queue<RunHead, std::vector<RunHead>, RunHeadAfter> heads;
  const auto advance = [&](std::size_t k) {
    errno = 0;
    const int status = sam_read1(inputs[k].get(), const_cast<sam_hdr_t*>(header), records[k].get());
    if (status < -1) throw_hts_error("cannot read", s.runs.paths[k]);
    if (status >= 0) {
      const bam1_core_t& c = records[k]->core;
      heads.push({position_key(c), strand_key(c) | k, k});
    }
  };
  for (std::size_t k = 0; k < count; ++k) {
    inputs[k].reset(sam_open(s.runs.paths[k].c_str(), "rb"));
    if (!inputs[k]) throw_io_error("cannot open", s.runs.paths[k]);
    share_pool(inputs[k].get(), s.pool, s.runs.paths[k]);
    errno = 0;
    HeaderPtr run_header(sam_hdr_read(inputs[k].get()));
    if (!run_header) throw_hts_error("cannot read", s.runs.paths[k]);
    records[k] = make_record();
    advance(k);
  }
  while (!heads.empty()) {
    const std::size_t k = heads.top().run;
    heads.pop();
    write_or_throw(out, header, records[k].get(), out_path);
    written.add();
    advance(k);
  }
}

}  // namespace

TemporaryFiles::~TemporaryFiles() {
  for (const std::string& path : paths) std::remove(path.c_str());
}

void sort_block(SortBlock& block, std::uint64_t sequence) {
  std::size_t count = 0;
  for (std::size_t at = 0; at < block.records.size(); ++count)
    at += stored_size(block.records.data() + at);
  block.entries.clear();
  block.entries.reserve(count);
  for (std::size_t at = 0; at < block.records.size();) {
    const bam1_t view = stored_record(block.records.data() + at);
    const std::uint64_t arrival = sequence << 32 | block.entries.size();
    block.entries.push_back({position_key(view.core), strand_key(view.core) | arrival, at});
    at += stored_size(&view);
  }
  std::sort(block.entries.begin(), block.entries.end(), entry_less);
}

CoordinateSorter make_sorter(const std::string& run_prefix, std::size_t memory_limit,
                             hts_tpool* pool) {
  CoordinateSorter s;
  s.run_prefix = run_prefix;
  s.memory_limit = memory_limit;
  s.pool = pool;
  return s;
}

void sorter_add(CoordinateSorter& s, const sam_hdr_t* header, SortBlock&& block) {
  const std::size_t size = block.records.size() + block.entries.size() * sizeof(SortEntry);
  if (!s.blocks.empty() && s.used + size > s.memory_limit) spill(s, header);
  s.used += size;
  s.records += static_cast<long>(block.entries.size());
  s.blocks.push_back(std::move(block));
}

void sorter_finish(CoordinateSorter& s, const sam_hdr_t* header, htsFile* out,
                   const std::string& out_path, ProgressDisplay* progress) {
  WrittenRecords written{progress, s.records};
  if (s.runs.paths.empty()) {
    write_blocks(s, header, out, out_path, written);
    return;
  }
  if (!s.blocks.empty()) spill(s, header);
  merge_runs(s, header, out, out_path, written);
}

}  // namespace quilm::sam
