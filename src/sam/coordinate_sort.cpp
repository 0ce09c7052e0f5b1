#include "sam/coordinate_sort.hpp"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <queue>

#include "common/errors.hpp"
#include "sam/hts_handles.hpp"

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

std::size_t used_memory(const CoordinateSorter& s) {
  return s.buffer.size() + s.entries.size() * sizeof(SortEntry);
}

// A record of the buffer seen as a bam1_t, without copying its data.
bam1_t stored_record(const CoordinateSorter& s, const SortEntry& e) {
  bam1_t view{};
  const std::uint8_t* at = s.buffer.data() + e.offset;
  std::memcpy(&view.core, at, sizeof view.core);
  std::memcpy(&view.l_data, at + sizeof view.core, sizeof view.l_data);
  view.m_data = static_cast<std::uint32_t>(view.l_data);
  view.data = const_cast<std::uint8_t*>(at + sizeof view.core + sizeof view.l_data);
  view.mempolicy = BAM_USER_OWNS_STRUCT | BAM_USER_OWNS_DATA;
  return view;
}

void write_or_throw(htsFile* out, const sam_hdr_t* header, const bam1_t* b,
                    const std::string& path) {
  if (sam_write1(out, header, b) < 0) throw IoError("cannot write '" + path + "'");
}

// Writes the buffer's records in order and empties it.
void write_sorted_buffer(CoordinateSorter& s, const sam_hdr_t* header, htsFile* out,
                         const std::string& path) {
  std::sort(s.entries.begin(), s.entries.end(), entry_less);
  for (const SortEntry& e : s.entries) {
    const bam1_t view = stored_record(s, e);
    write_or_throw(out, header, &view, path);
  }
  s.entries.clear();
  s.buffer.clear();
}

void spill(CoordinateSorter& s, const sam_hdr_t* header) {
  const std::string path = s.run_prefix + std::to_string(s.runs.paths.size()) + ".bam";
  s.runs.paths.push_back(path);
  // Runs are read back once: fast compression is enough.
  HtsFilePtr out(sam_open(path.c_str(), "wb1"));
  if (!out) throw_io_error("cannot create", path);
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

CoordinateSorter make_sorter(const std::string& run_prefix, std::size_t memory_limit) {
  CoordinateSorter s;
  s.run_prefix = run_prefix;
  s.memory_limit = memory_limit;
  // Reserved address space only: pages are touched as records arrive.
  s.buffer.reserve(memory_limit);
  return s;
}

void sorter_add(CoordinateSorter& s, const sam_hdr_t* header, const bam1_t* b) {
  const std::size_t size = sizeof b->core + sizeof b->l_data + static_cast<std::size_t>(b->l_data);
  if (!s.entries.empty() && used_memory(s) + size + sizeof(SortEntry) > s.memory_limit)
    spill(s, header);
  const std::uint64_t offset = s.buffer.size();
  s.buffer.resize(offset + size);
  std::uint8_t* at = s.buffer.data() + offset;
  std::memcpy(at, &b->core, sizeof b->core);
  std::memcpy(at + sizeof b->core, &b->l_data, sizeof b->l_data);
  std::memcpy(at + sizeof b->core + sizeof b->l_data, b->data, static_cast<std::size_t>(b->l_data));
  s.entries.push_back({position_key(b->core), strand_key(b->core) | s.arrivals++, offset});
}

void sorter_finish(CoordinateSorter& s, const sam_hdr_t* header, htsFile* out,
                   const std::string& out_path) {
  if (s.runs.paths.empty()) {
    write_sorted_buffer(s, header, out, out_path);
    return;
  }
  if (!s.entries.empty()) spill(s, header);
  s.buffer = {};
  s.entries = {};
  merge_runs(s, header, out, out_path);
}

}  // namespace quilm::sam
