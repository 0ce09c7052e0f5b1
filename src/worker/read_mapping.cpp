#include "worker/read_mapping.hpp"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string_view>
#include <vector>

#include "common/errors.hpp"
#include "common/mapping_record.hpp"
#include "common/numbered_reads.hpp"
#include "common/output_file.hpp"
#include "common/seed_code.hpp"
#include "common/seed_lengths.hpp"
#include "worker/indel_match.hpp"
#include "worker/index_store.hpp"

namespace quilm {

namespace {

// ---------------------------------------------------------------------------
// Votes of one strand: a small open-addressing table keyed by read start,
// sized to the votes of the read, so the cost of a read does not depend on
// the segment length and nothing needs clearing (a stamp marks the read).

class VoteTable {
 public:
  // Prepares for a read that casts at most `votes` votes.
  void begin(std::size_t votes) {
    std::size_t want = 64;
    while (want < 2 * votes) want <<= 1;
    if (want > slots_.size()) {
      slots_.assign(want, Slot{});
      stamp_ = 0;
    }
    mask_ = static_cast<std::uint32_t>(std::min(want, slots_.size()) - 1);
    // Use the smallest power of two that fits, so small reads stay in cache.
    if (++stamp_ == 0) {
      for (auto& s : slots_) s.stamp = 0;
      stamp_ = 1;
    }
  }

  // One vote for start; returns the slot, whose count is the new value.
  std::uint32_t vote(std::int32_t start) {
    std::uint32_t h = (static_cast<std::uint32_t>(start) * 0x9E3779B1u) >> 7;
    for (;;) {
      h &= mask_;
      Slot& s = slots_[h];
      if (s.stamp != stamp_) {
        s.stamp = stamp_;
        s.start = start;
        s.count = 1;
        s.cleared = 0;
        return h;
      }
      if (s.start == start) {
        ++s.count;
        return h;
      }
      ++h;
    }
  }
  std::uint32_t count(std::uint32_t slot) const { return slots_[slot].count; }
  bool cleared(std::uint32_t slot) const { return slots_[slot].cleared != 0; }
  void clear(std::uint32_t slot) { slots_[slot].cleared = 1; }

 private:
  struct Slot {
    std::uint32_t stamp = 0;
    std::int32_t start = 0;
    std::uint32_t count = 0;
    std::uint32_t cleared = 0;
  };
  std::vector<Slot> slots_;
  std::uint32_t mask_ = 0;
  std::uint32_t stamp_ = 0;
};

// MapCandidate: one entry per vote, in vote order.
struct Candidate {
  std::int32_t start;  // 1-based segment position of the read's first base
  std::uint32_t hits;  // the start's vote count right after this vote
  std::uint32_t slot;  // its slot in the vote table
};

struct Strand {
  char name = 'F';
  const std::string* text = nullptr;  // the read or its reverse complement
  std::vector<std::int64_t> keys;
  std::vector<std::int64_t> ids;
  std::vector<Candidate> list;
  VoteTable votes;
};

using Clock = std::chrono::steady_clock;
double seconds_since(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

template <class Index>
class ReadMapper {
 public:
  ReadMapper(const Segment& segment, const Index& index, OutputFile& out, const MapSettings& s)
      : seg_(segment.data()),
        N_(static_cast<std::int64_t>(segment.length)),
        index_(index),
        out_(out),
        E_(s.max_errors),
        L_(s.seed_length),
        indel_(s.indel_toggle == 1),
        both_(s.unidirectional_toggle == 0),
        mode_(select_mode(s)) {
    fwd_.name = 'F';
    rev_.name = 'R';
  }

  enum class Mode { kNone, kBest, kExportAll, kFirstHit };
  static Mode select_mode(const MapSettings& s) {
    if (s.best_toggle == 1) {
      if (s.export_all_toggle == 0) return Mode::kBest;
      if (s.export_all_toggle == 1) return Mode::kExportAll;
      return Mode::kNone;
    }
    if (s.best_toggle == 0) return Mode::kFirstHit;
    return Mode::kNone;
  }
  bool maps_anything() const { return mode_ != Mode::kNone; }

  long records() const { return records_; }

  void map(int number, const std::string& read) {
    number_ = number;
    read_ = &read;
    n_ = static_cast<int>(read.size());
    switch (mode_) {
      case Mode::kBest:
        best_or_export(false);
        break;
      case Mode::kExportAll:
        best_or_export(true);
        break;
      case Mode::kFirstHit:
        first_hit();
        break;
      case Mode::kNone:
        break;
    }
  }

 private:
  // -- preparation ----------------------------------------------------------

  // Seed keys of the strand's text (S seeds, rem).
  int seeds_of(Strand& st) { return transnum_x(*st.text, L_, st.keys, rem_); }

  // Votes of the first `voting` seeds of a read with S seeds; starts must lie
  // in (0, upper) (upper < 0: no upper bound).
  void collect(Strand& st, int S, int voting, std::int64_t upper) {
    st.list.clear();
    st.ids.resize(static_cast<std::size_t>(voting));
    for (int i = 0; i < voting; ++i) index_.prefetch_key(st.keys[i]);
    for (int i = 0; i < voting; ++i) {
      st.ids[i] = index_.translate(st.keys[i]);
      index_.prefetch_id(st.ids[i]);
    }
    std::size_t total = 0;
    spans_.resize(static_cast<std::size_t>(voting));
    for (int i = 0; i < voting; ++i) {
      if (st.ids[i] < 0) {
        spans_[i] = {};
        continue;
      }
      spans_[i] = index_.bucket(st.ids[i]);
      if (!spans_[i].empty()) __builtin_prefetch(spans_[i].data());
      total += spans_[i].size();
    }
    st.votes.begin(total);
    if (total == 0) return;
    st.list.reserve(total);
    for (int i = 0; i < voting; ++i) {
      const std::int64_t off = seed_read_position(i, S, n_, L_);
      for (std::int32_t p : spans_[i]) {
        const std::int64_t start = p - off;
        if (start <= 0) continue;
        if (upper >= 0 && start >= upper) continue;
        const std::uint32_t slot = st.votes.vote(static_cast<std::int32_t>(start));
        st.list.push_back({static_cast<std::int32_t>(start), st.votes.count(slot), slot});
      }
    }
  }

  int threshold(int S) const {
    if (rem_ == 0) return S - E_ >= 2 ? S - E_ - 1 : 0;
    return S - E_ >= 3 ? S - E_ - 2 : 0;
  }

  // -- comparisons ----------------------------------------------------------

  // Mismatching bytes of text placed at 1-based start, stopping above E;
  // bytes past the segment's end never match.
  int verify(const std::string& text, std::int64_t start) const {
    const std::int64_t from = start - 1;
    const std::int64_t inside = std::clamp<std::int64_t>(N_ - from, 0, n_);
    const char* s = seg_ + from;
    const char* r = text.data();
    int c = static_cast<int>(n_ - inside);
    if (c > E_) return c;
    for (std::int64_t i = 0; i < inside; ++i) {
      if (s[i] != r[i] && ++c > E_) return c;
    }
    return c;
  }

  // Banded alignment of text at the window of start; -1 when none within E.
  int align(const std::string& text, std::int64_t start) {
    std::int64_t from = start - 1 - E_;
    if (from < 0) from = 0;
    const std::size_t len = static_cast<std::size_t>(n_) + 2 * static_cast<std::size_t>(E_);
    window_.resize(len);
    const std::int64_t inside =
        std::clamp<std::int64_t>(N_ - from, 0, static_cast<std::int64_t>(len));
    if (inside > 0) std::memcpy(window_.data(), seg_ + from, static_cast<std::size_t>(inside));
    if (static_cast<std::size_t>(inside) < len)
      std::memset(window_.data() + inside, 0, len - static_cast<std::size_t>(inside));
    int errors = 0;
    if (indel_match_x(text.data(), window_.data(), n_, E_, band_, errors) != 1) return -1;
    return errors;
  }

  void write(char strand, int errors, std::int64_t start) {
    write_mapping_record(out_, number_, *read_, strand, errors, static_cast<int>(start - 1));
    ++records_;
  }

  // -- best and export-all modes --------------------------------------------

  void best_or_export(bool export_all) {
    fwd_.text = read_;
    const int S = seeds_of(fwd_);
    if (S == 0) return;  // shorter than a seed: no seed, no hit
    if (both_) {
      reverse_complement(*read_, rc_);
      rev_.text = &rc_;
      int rem_r = 0;
      transnum_x(rc_, L_, rev_.keys, rem_r);
    }
    const std::int64_t upper = N_ - n_;
    if (upper <= 1) return;  // no start with 0 < start < N - n
    collect(fwd_, S, S, upper);
    if (both_)
      collect(rev_, S, S, upper);
    else
      rev_.list.clear();
    if (export_all)
      export_all_search(S);
    else
      best_search(S);
  }

  void best_search(int S) {
    const std::uint32_t US = static_cast<std::uint32_t>(S);
    for (const Candidate& c : fwd_.list)
      if (c.hits == US) return write('F', 0, c.start);
    if (both_)
      for (const Candidate& c : rev_.list)
        if (c.hits == US) return write('R', 0, c.start);

    int T = threshold(S);
    if (T < S - 1) {
      int best = E_ + 1;
      std::int64_t best_start = 0;
      char best_strand = 'F';
      for (int d = 1; S - d > T; ++d) {
        const std::uint32_t l = static_cast<std::uint32_t>(S - d);
        for (Strand* st : {&fwd_, &rev_}) {
          if (st == &rev_ && (!both_ || rev_.list.empty())) break;
          for (const Candidate& c : st->list) {
            if (c.hits != l) continue;
            const int e = verify(*st->text, c.start);
            if (e > E_) continue;
            if (e == 1 || e < d || (rem_ == 0 && e == d)) return write(st->name, e, c.start);
            if (e < best) {
              best = e;
              best_start = c.start;
              best_strand = st->name;
            }
          }
        }
        if (best_start > 0 && best <= d) return write(best_strand, best, best_start);
      }
      if (best_start > 0) return write(best_strand, best, best_start);
    }

    if (indel_ && S - 1 >= 1) {
      int best = E_ + 1;
      std::int64_t best_start = 0;
      char best_strand = 'F';
      for (int l = S - 1; l >= 1; --l) {
        const std::uint32_t ul = static_cast<std::uint32_t>(l);
        for (Strand* st : {&fwd_, &rev_}) {
          if (st == &rev_ && (!both_ || rev_.list.empty())) break;
          for (const Candidate& c : st->list) {
            if (c.hits != ul) continue;
            const int e = align(*st->text, c.start);
            if (e >= 0 && e < best) {
              best = e;
              best_start = c.start;
              best_strand = st->name;
            }
          }
        }
        if (best_start > 0) return write(best_strand, best, best_start);
      }
    }
  }

  void export_all_search(int S) {
    const std::uint32_t US = static_cast<std::uint32_t>(S);
    bool perfect = false;
    for (Strand* st : {&fwd_, &rev_}) {
      if (st == &rev_ && !both_) break;
      for (const Candidate& c : st->list)
        if (c.hits == US) {
          write(st->name, 0, c.start);
          perfect = true;
        }
    }
    if (perfect) return;

    int T = threshold(S);
    bool found = false;
    if (T < S - 1) {
      int best = E_ + 1;
      bool tentative = false;
      for (int d = 1; S - d > T; ++d) {
        const std::uint32_t l = static_cast<std::uint32_t>(S - d);
        for (Strand* st : {&fwd_, &rev_}) {
          if (st == &rev_ && (!both_ || rev_.list.empty())) break;
          for (const Candidate& c : st->list) {
            if (c.hits != l || st->votes.cleared(c.slot)) continue;
            const int e = verify(*st->text, c.start);
            if (e > E_) continue;
            if (e == 1 || e < d || (rem_ == 0 && e == d)) {
              write(st->name, e, c.start);
              st->votes.clear(c.slot);
              found = true;
            } else if (e < best) {
              write(st->name, e, c.start);
              st->votes.clear(c.slot);
              tentative = true;
              best = e;
            }
          }
        }
        if (found) break;
        if (tentative) {
          if (rem_ == 0 && S - best >= 2)
            T = std::max(T, S - best - 1);
          else if (rem_ > 0 && S - best >= 3)
            T = std::max(T, S - best - 2);
        }
      }
    }

    if (!found && indel_ && S - 1 >= 1) {
      for (int l = S - 1; l >= 1; --l) {
        const std::uint32_t ul = static_cast<std::uint32_t>(l);
        int best = E_ + 1;
        bool accepted = false;
        for (Strand* st : {&fwd_, &rev_}) {
          if (st == &rev_ && (!both_ || rev_.list.empty())) break;
          written_.clear();
          for (const Candidate& c : st->list) {
            if (c.hits != ul || st->votes.cleared(c.slot)) continue;
            const int e = align(*st->text, c.start);
            if (e < 0 || e >= best) continue;
            best = e;
            accepted = true;
            if (std::find(written_.begin(), written_.end(), c.start) == written_.end()) {
              write(st->name, e, c.start);
              if (written_.size() < 100) written_.push_back(c.start);
            }
          }
        }
        if (accepted) break;
      }
    }
  }

  // -- first-hit mode -------------------------------------------------------

  void first_hit() {
    fwd_.text = read_;
    if (first_hit_search(fwd_)) return;
    if (!both_) return;
    reverse_complement(*read_, rc_);
    rev_.text = &rc_;
    first_hit_search(rev_);
  }

  // One search on one string; true when it wrote a record.
  bool first_hit_search(Strand& st) {
    const int S_all = seeds_of(st);
    if (S_all == 0) return false;
    int S = S_all;
    const bool reduced = S_all > 9 && indel_ && E_ < S_all;
    if (reduced) S = E_ + 1;
    collect(st, S_all, S, -1);
    const std::uint32_t US = static_cast<std::uint32_t>(S);

    for (const Candidate& c : st.list) {
      if (c.hits != US) continue;
      if (!reduced) {
        write(st.name, 0, c.start);
        return true;
      }
      // The reduced seeds no longer cover the read: verify before writing.
      const int e = verify(*st.text, c.start);
      if (e <= E_) {
        write(st.name, e, c.start);
        return true;
      }
    }

    const int T = threshold(S);
    if (T < S - 1) {
      for (int l = S - 1; l > T; --l) {
        const std::uint32_t ul = static_cast<std::uint32_t>(l);
        for (const Candidate& c : st.list) {
          if (c.hits != ul) continue;
          const int e = verify(*st.text, c.start);
          if (e <= E_) {
            write(st.name, e, c.start);
            return true;
          }
        }
      }
    }

    if (indel_ && S - 1 >= 1) {
      for (int l = S - 1; l >= 1; --l) {
        const std::uint32_t ul = static_cast<std::uint32_t>(l);
        for (const Candidate& c : st.list) {
          if (c.hits != ul) continue;
          const int e = align(*st.text, c.start);
          if (e >= 0) {
            write(st.name, e, c.start);
            return true;
          }
        }
      }
    }
    return false;
  }

  const char* seg_;
  std::int64_t N_;
  const Index& index_;
  OutputFile& out_;
  int E_;
  int L_;
  bool indel_;
  bool both_;
  Mode mode_;

  int number_ = 0;
  const std::string* read_ = nullptr;
  int n_ = 0;
  int rem_ = 0;
  std::string rc_;
  Strand fwd_, rev_;
  std::vector<std::span<const std::int32_t>> spans_;
  std::vector<char> window_;
  std::vector<std::int32_t> band_;
  std::vector<std::int32_t> written_;
  long records_ = 0;
};

constexpr std::size_t kStreamBlock = std::size_t{20} << 20;

template <class Index, class Build>
MapStats run_mapping(const std::string& segment_path, const std::string& read_path,
                     const std::string& result_path, const MapSettings& settings, ReadSlice slice,
                     Build build) {
  MapStats stats;
  require_indexable_seed(settings.seed_length);
  // Open the files first, so that a missing read file or an unwritable
  // result file is reported before the index is built.
  { NumberedReadReader probe(read_path); }
  OutputFile out(result_path, OutputFile::Mode::kTruncate, kStreamBlock);
  auto t0 = Clock::now();
  Segment segment = load_segment(segment_path, settings.masked_toggle);
  stats.load_seconds = seconds_since(t0);
  t0 = Clock::now();
  Index index = build(segment, settings);
  stats.build_seconds = seconds_since(t0);
  t0 = Clock::now();
  map_reads(segment, index, read_path, out, settings, stats, slice);
  out.close();
  stats.map_seconds = seconds_since(t0);
  return stats;
}

}  // namespace

template <class Index>
void map_reads(const Segment& segment, const Index& index, const std::string& read_path,
               OutputFile& out, const MapSettings& settings, MapStats& stats, ReadSlice slice) {
  ReadMapper<Index> mapper(segment, index, out, settings);
  if (!mapper.maps_anything()) return;
  NumberedReadReader reader(read_path, slice);
  NumberedRead read;
  while (reader.next(read)) {
    mapper.map(read.number, read.sequence);
    ++stats.reads;
  }
  stats.records += mapper.records();
}

template void map_reads<SeedIndex>(const Segment&, const SeedIndex&, const std::string&,
                                   OutputFile&, const MapSettings&, MapStats&, ReadSlice);
template void map_reads<ReducedSeedIndex>(const Segment&, const ReducedSeedIndex&,
                                          const std::string&, OutputFile&, const MapSettings&,
                                          MapStats&, ReadSlice);

MapStats quilm_x(const std::string& segment_path, const std::string& read_path,
                 const std::string& result_path, const MapSettings& settings, ReadSlice slice) {
  return run_mapping<SeedIndex>(segment_path, read_path, result_path, settings, slice,
                                [](const Segment& segment, const MapSettings& s) {
                                  return obtain_seed_index(segment, s.seed_length, s.masked_toggle,
                                                           s.index_store);
                                });
}

MapStats quilm_x_red(const std::string& segment_path, const std::string& read_path,
                     const std::string& result_path, const MapSettings& settings,
                     ReadSlice slice) {
  return run_mapping<ReducedSeedIndex>(
      segment_path, read_path, result_path, settings, slice,
      [](const Segment& segment, const MapSettings& s) {
        return obtain_reduced_seed_index(segment, s.seed_length, s.masked_toggle, s.index_store);
      });
}

}  // namespace quilm
