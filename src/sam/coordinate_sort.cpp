#include "sam/coordinate_sort.hpp"

#include <algorithm>
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

// Small enough that a chunk sorts in the cache, large enough that the merge
// of all chunks stays shallow; and at most a 64th of the memory, so that
// every run is sorted in several pieces.
constexpr std::size_t kMaxChunkEntries = std::size_t{1} << 17;
constexpr std::size_t kMinChunkEntries = 64;
// Chunk sorts waiting in the pool before adding one more waits.
constexpr int kQueuedSorts = 64;

std::size_t used_memory(const CoordinateSorter& s) {
  return s.buffer.size() + s.entry_count * sizeof(SortEntry);
}

void* sort_chunk(void* chunk) {
  auto& entries = static_cast<SortChunk*>(chunk)->entries;
  std::sort(entries.begin(), entries.end(), entry_less);
  return nullptr;
}

void add_entry(CoordinateSorter& s, const SortEntry& entry) {
  if (s.chunks.empty() || s.chunks.back().entries.size() == s.chunk_entries) {
    s.chunks.emplace_back();
    s.chunks.back().entries.reserve(s.chunk_entries);
  }
  SortChunk& chunk = s.chunks.back();
  chunk.entries.push_back(entry);
  ++s.entry_count;
  if (chunk.entries.size() < s.chunk_entries) return;
  if (!s.pool) {
    sort_chunk(&chunk);
  } else if (hts_tpool_dispatch(s.pool, s.sorts.get(), sort_chunk, &chunk) < 0) {
    throw std::bad_alloc();
  }
}

// Every chunk sorted: waits for the pool, and sorts the last, partial one.
void finish_chunks(CoordinateSorter& s) {
  if (s.sorts && hts_tpool_process_flush(s.sorts.get()) < 0) throw std::bad_alloc();
  if (!s.chunks.empty() && s.chunks.back().entries.size() < s.chunk_entries)
    sort_chunk(&s.chunks.back());
}

void write_or_throw(htsFile* out, const sam_hdr_t* header, const bam1_t* b,
                    const std::string& path) {
  if (sam_write1(out, header, b) < 0) throw IoError("cannot write '" + path + "'");
}

struct ChunkHead {
  const SortEntry* entry;
  std::size_t chunk;
};

struct ChunkHeadAfter {
  bool operator()(const ChunkHead& a, const ChunkHead& b) const {
    return entry_less(*b.entry, *a.entry);
  }
};

// Records are written in key order, so they are read from all over the
// buffer: each is asked into the cache while a few others of its chunk go
// first. Four cache lines hold a record of a short read whole.
constexpr std::size_t kPrefetchEntries = 4;
constexpr std::size_t kPrefetchLines = 4;

// Writes the buffer's records in order, merging the sorted chunks, and
// empties it.
void write_sorted_buffer(CoordinateSorter& s, const sam_hdr_t* header, htsFile* out,
                         const std::string& path) {
  finish_chunks(s);
  std::priority_queue<ChunkHead, std::vector<ChunkHead>, ChunkHeadAfter> heads;
  for (std::size_t k = 0; k < s.chunks.size(); ++k) {
    const std::vector<SortEntry>& entries = s.chunks[k].entries;
    if (entries.empty()) continue;
    heads.push({entries.data(), k});
  }
  while (!heads.empty()) {
    const ChunkHead head = heads.top();
    heads.pop();
    const bam1_t view = stored_record(s.buffer.data() + head.entry->offset);
    write_or_throw(out, header, &view, path);
    const std::vector<SortEntry>& entries = s.chunks[head.chunk].entries;
    const SortEntry* end = entries.data() + entries.size();
    if (head.entry + 1 == end) continue;
    heads.push({head.entry + 1, head.chunk});
    // Here and not in a helper: GCC drops the calls of a local function
    // that only prefetches.
    if (static_cast<std::size_t>(end - head.entry) <= 1 + kPrefetchEntries) continue;
    const std::uint8_t* ahead = s.buffer.data() + head.entry[1 + kPrefetchEntries].offset;
    for (std::size_t line = 0; line < kPrefetchLines; ++line) __builtin_prefetch(ahead + 64 * line);
  }
  s.chunks.clear();
  s.entry_count = 0;
  s.buffer.clear();
}

void spill(CoordinateSorter& s, const sam_hdr_t* header) {
  const std::string path = s.run_prefix + std::to_string(s.runs.paths.size()) + ".bam";
  s.runs.paths.push_back(path);
  // Runs are read back once: fast compression is enough.
  HtsFilePtr out(sam_open(path.c_str(), "wb1"));
  if (!out) throw_io_error("cannot create", path);
  share_pool(out.get(), s.pool, path);
  if (sam_hdr_write(out.get(), header) < 0) throw IoError("cannot write '" + path + "'");
  write_sorted_buffer(s, header, out.get(), path);
  if (hts_close(out.release()) < 0) throw IoError("cannot write '" + path + "'");
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
                const std::string& out_path) {
  const std::size_t count = s.runs.paths.size();
  std::vector<HtsFilePtr> inputs(count);
  std::vector<RecordPtr> records(count);
  std::priority_queue<RunHead, std::vector<RunHead>, RunHeadAfter> heads;
  const auto advance = [&](std::size_t k) {
    const int status = sam_read1(inputs[k].get(), const_cast<sam_hdr_t*>(header), records[k].get());
    if (status < -1) throw IoError("cannot read '" + s.runs.paths[k] + "'");
    if (status >= 0) {
      const bam1_core_t& c = records[k]->core;
      heads.push({position_key(c), strand_key(c) | k, k});
    }
  };
  for (std::size_t k = 0; k < count; ++k) {
    inputs[k].reset(sam_open(s.runs.paths[k].c_str(), "rb"));
    if (!inputs[k]) throw_io_error("cannot open", s.runs.paths[k]);
    share_pool(inputs[k].get(), s.pool, s.runs.paths[k]);
    HeaderPtr run_header(sam_hdr_read(inputs[k].get()));
    if (!run_header) throw IoError("cannot read '" + s.runs.paths[k] + "'");
    records[k] = make_record();
    advance(k);
  }
  while (!heads.empty()) {
    const std::size_t k = heads.top().run;
    heads.pop();
    write_or_throw(out, header, records[k].get(), out_path);
    advance(k);
  }
}

}  // namespace

TemporaryFiles::~TemporaryFiles() {
  for (const std::string& path : paths) std::remove(path.c_str());
}

CoordinateSorter make_sorter(const std::string& run_prefix, std::size_t memory_limit,
                             hts_tpool* pool) {
  CoordinateSorter s;
  s.run_prefix = run_prefix;
  s.memory_limit = memory_limit;
  s.pool = pool;
  s.chunk_entries =
      std::clamp(memory_limit / 64 / sizeof(SortEntry), kMinChunkEntries, kMaxChunkEntries);
  if (pool) s.sorts = make_process(pool, kQueuedSorts, false);
  // Reserved address space only: pages are touched as records arrive.
  s.buffer.reserve(memory_limit);
  return s;
}

void sorter_add(CoordinateSorter& s, const sam_hdr_t* header, const bam1_t* b) {
  const std::size_t size = stored_size(b);
  if (s.entry_count > 0 && used_memory(s) + size + sizeof(SortEntry) > s.memory_limit)
    spill(s, header);
  const std::uint64_t offset = s.buffer.size();
  s.buffer.resize(offset + size);
  store_record(b, s.buffer.data() + offset);
  add_entry(s, {position_key(b->core), strand_key(b->core) | s.arrivals++, offset});
}

void sorter_finish(CoordinateSorter& s, const sam_hdr_t* header, htsFile* out,
                   const std::string& out_path) {
  if (s.runs.paths.empty()) {
    write_sorted_buffer(s, header, out, out_path);
    return;
  }
  if (s.entry_count > 0) spill(s, header);
  s.buffer = {};
  merge_runs(s, header, out, out_path);
}

}  // namespace quilm::sam
