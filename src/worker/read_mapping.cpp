#include "worker/read_mapping.hpp"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstring>
#include <exception>
#include <span>
#include <string_view>
#include <vector>

#include "common/errors.hpp"
#include "common/mapping_record.hpp"
#include "common/numbered_reads.hpp"
#include "common/output_file.hpp"
#include "common/progress_counter.hpp"
#include "common/seed_code.hpp"
#include "common/seed_lengths.hpp"
#include "worker/indel_match.hpp"
#include "worker/index_store.hpp"
#include "worker/seed_lookups.hpp"
#include "worker/vote_collection.hpp"

namespace quilm {

namespace {

struct Strand {
  char name = 'F';
  const std::string* text = nullptr;  // the read or its reverse complement
  StrandVotes votes;
  std::int64_t upper = -1;   // starts were collected in (0, upper); negative: (0, inf)
  std::uint64_t voting = 0;  // bit j: seed j cast votes (had a key)
  int seeds = 0;             // the read's seeds
  int voters = 0;            // how many of them (the first ones) voted
};

// One read of a batch, and what the batch's preparation found for it.
struct BatchRead {
  NumberedRead read;
  std::string reverse;            // its reverse complement, when that strand is searched
  int seeds = 0;                  // S; 0 when the read has nothing to look up
  int rem = 0;                    // read length mod seed length
  std::size_t forward_seeds = 0;  // lookup numbers of the voting seeds of each strand
  std::size_t reverse_seeds = 0;
  std::uint64_t forward_voting = 0;  // bit j: voting seed j has a key
  std::uint64_t reverse_voting = 0;
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
        segment_length_(static_cast<std::int64_t>(segment.length)),
        index_(index),
        out_(out),
        max_errors_(s.max_errors),
        seed_length_(s.seed_length),
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

  // Looks up the seeds of all reads of the batch first, then maps the reads
  // in order.
  void map_batch(std::span<BatchRead> batch) {
    lookups_.clear();
    for (BatchRead& b : batch) prepare(b);
    lookups_.look_up(index_);
    for (BatchRead& b : batch) map(b);
  }

 private:
  // -- preparation ----------------------------------------------------------

  // Seed keys of the read and, when searched, of its reverse complement,
  // queued for lookup.
  void prepare(BatchRead& b) {
    const std::string& read = b.read.sequence;
    const int S = transnum_x(read, seed_length_, keys_, b.rem);
    b.seeds = 0;
    if (S == 0) return;  // shorter than a seed: no seed, no hit
    // The best and export-all modes need a start with
    // 0 < start < segment length - read length.
    if (mode_ != Mode::kFirstHit && segment_length_ - static_cast<std::int64_t>(read.size()) <= 1)
      return;
    b.seeds = S;
    const auto voting =
        static_cast<std::size_t>(mode_ == Mode::kFirstHit ? first_hit_voting(S) : S);
    b.forward_seeds = lookups_.add(std::span(keys_).first(voting));
    b.forward_voting = voting_seeds(std::span(keys_).first(voting));
    if (!both_) return;
    reverse_complement(read, b.reverse);
    reverse_seed_keys(keys_, b.reverse, seed_length_, reverse_keys_);
    b.reverse_seeds = lookups_.add(std::span(reverse_keys_).first(voting));
    b.reverse_voting = voting_seeds(std::span(reverse_keys_).first(voting));
  }

  // With indels on, a first-hit search of a read of more than 9 seeds lets
  // only its first E + 1 seeds vote (when E < S).
  bool first_hit_reduces(int S) const { return S > 9 && indel_ && max_errors_ < S; }
  int first_hit_voting(int S) const { return first_hit_reduces(S) ? max_errors_ + 1 : S; }

  // The candidate list of the seeds whose buckets are given (the first of
  // the read's S seeds); starts must lie in (0, upper) (upper < 0: no upper
  // bound). Without indels no search reads an entry at or below the vote
  // threshold (the level searches only ever raise their floor above it), so
  // only the entries above it are made.
  void collect(Strand& st, int S, std::span<const SeedLookups::Bucket> buckets,
               std::int64_t upper) {
    const int voting = static_cast<int>(buckets.size());
    const int floor = indel_ ? 0 : threshold(voting, max_errors_);
    st.votes.collect({buckets, S, read_length_, seed_length_, upper},
                     static_cast<std::uint32_t>(floor));
    st.upper = upper;
    st.seeds = S;
    st.voters = voting;
  }

  // The lowest vote level that is not visited when a read of S seeds may
  // have `errors` errors.
  int threshold(int S, int errors) const {
    if (rem_ == 0) return S - errors >= 2 ? S - errors - 1 : 0;
    return S - errors >= 3 ? S - errors - 2 : 0;
  }

  // -- comparisons ----------------------------------------------------------

  // Mismatching bytes of text placed at 1-based start, stopping above E;
  // bytes past the segment's end never match.
  int verify(const std::string& text, std::int64_t start) const {
    const std::int64_t from = start - 1;
    const std::int64_t inside = std::clamp<std::int64_t>(segment_length_ - from, 0, read_length_);
    const char* s = seg_ + from;
    const char* r = text.data();
    int c = static_cast<int>(read_length_ - inside);
    if (c > max_errors_) return c;
    for (std::int64_t i = 0; i < inside; ++i) {
      if (s[i] != r[i] && ++c > max_errors_) return c;
    }
    return c;
  }

  // Banded alignment of text at the window of start; -1 when none within E.
  int align(const std::string& text, std::int64_t start) {
    std::int64_t from = start - 1 - max_errors_;
    if (from < 0) from = 0;
    const std::size_t len =
        static_cast<std::size_t>(read_length_) + 2 * static_cast<std::size_t>(max_errors_);
    window_.resize(len);
    const std::int64_t inside =
        std::clamp<std::int64_t>(segment_length_ - from, 0, static_cast<std::int64_t>(len));
    if (inside > 0) std::memcpy(window_.data(), seg_ + from, static_cast<std::size_t>(inside));
    if (static_cast<std::size_t>(inside) < len)
      std::memset(window_.data() + inside, 0, len - static_cast<std::size_t>(inside));
    int errors = 0;
    if (indel_match_x(text.data(), window_.data(), read_length_, max_errors_, band_, errors) != 1)
      return -1;
    return errors;
  }

  // The fewest errors that the banded alignment at start can report, from
  // the seed votes alone (every vote counted): an alignment keeps the read's
  // starts within its window, so a voting seed with no vote there holds an
  // edit or lies before the local alignment, which costs at least half an
  // error per such seed (two overlapping seeds may share one). Worked out
  // only when it might reach `needed`; 0 when the window reaches starts whose
  // votes were not collected, or more than 32 seeds vote.
  int alignment_floor(Strand& st, const Candidate& c, int needed) const {
    VoteTable& table = st.votes.table();
    const int known = table.note(c.slot);
    if (known >= 0) return known;
    int floor = 0;
    const std::int64_t from = std::max<std::int64_t>(0, c.start - 1 - max_errors_) + 1;
    const std::int64_t to = from + 2 * max_errors_;
    if (st.voters <= 32 && (st.upper < 0 || to < st.upper)) {
      const bool overlap = rem_ != 0 && st.voters == st.seeds && st.seeds >= 2;
      const std::uint32_t last_two = overlap ? std::uint32_t{3} << (st.seeds - 2) : 0;
      const auto voting = static_cast<std::uint32_t>(st.voting);
      auto floor_of = [&](std::uint32_t seen) {
        const std::uint32_t missed = voting & ~seen;
        // Both overlapping seeds missing may come from one edit.
        const int shared = overlap && (missed & last_two) == last_two;
        return (std::popcount(missed) - shared) / 2;
      };
      // The start's own votes bound the floor from above; only when that
      // bound could rule the alignment out are the neighbours looked up.
      floor = floor_of(table.seeds(c.slot));
      floor = floor >= needed ? floor_of(st.votes.seeds_between(from, to)) : 0;
    }
    floor = std::min(floor, 62);
    table.set_note(c.slot, floor);
    return floor;
  }

  // The alignment at a start gives the same result at every level, and a
  // start whose alignment was accepted ends the pass at that level: a start
  // already aligned in this pass need not be aligned again.
  bool aligned_before(Strand& st, const Candidate& c) const {
    VoteTable& table = st.votes.table();
    if (table.flagged(c.slot)) return true;
    table.flag(c.slot);
    return false;
  }

  void write(char strand, int errors, std::int64_t start) {
    write_mapping_record(out_, number_, *read_, strand, errors, static_cast<int>(start - 1));
    ++records_;
  }

  // -- the passes that all modes share ---------------------------------------

  // Entries with all S votes, in list order, forward strand first: written
  // with 0 errors without comparing bases; every one, or only the first.
  // True when something was written.
  bool perfect_pass(std::span<Strand* const> strands, int S, bool every) {
    bool wrote = false;
    for (Strand* st : strands)
      for (const Candidate& c : st->votes.list()) {
        if (c.hits != static_cast<std::uint32_t>(S)) continue;
        write(st->name, 0, c.start);
        if (!every) return true;
        wrote = true;
      }
    return wrote;
  }

  enum class Compare { kVerify, kAlign };

  // The level search: for d = first_d, first_d + 1, ... while the vote level
  // S - d lies above rules.floor (which the rules may raise), the entries of
  // each strand with exactly S - d votes, in list order, forward strand
  // first, are compared with their strand's text (mismatches, or the banded
  // alignment), and every one within E errors goes to the mode's rules.
  // True as soon as the rules end the read's search; otherwise what
  // rules.finish() says after the last level.
  template <class Rules>
  bool search_levels(Rules& rules, Compare how, std::span<Strand* const> strands, int S,
                     int first_d = 1) {
    for (int d = first_d; S - d > rules.floor; ++d) {
      const auto level = static_cast<std::uint32_t>(S - d);
      for (Strand* st : strands) {
        rules.begin_strand();
        const std::vector<Candidate>& list = st->votes.list();
        for (const std::uint32_t k : st->votes.at_level(level)) {
          const Candidate& c = list[k];
          if constexpr (Rules::kClears)
            if (st->votes.cleared(c.slot)) continue;
          if (how == Compare::kAlign &&
              (!rules.may_improve(alignment_floor(*st, c, rules.needed())) ||
               aligned_before(*st, c)))
            continue;
          const int e =
              how == Compare::kVerify ? verify(*st->text, c.start) : align(*st->text, c.start);
          if (e < 0 || e > max_errors_) continue;
          if (rules.take(*st, c, e, d)) return true;
        }
      }
      if (rules.end_level(d)) return true;
    }
    return rules.finish();
  }

  // A hit of the (mismatch) level search that needs no better one: one
  // error, fewer errors than missing votes, or as many when the seeds tile
  // the read exactly.
  bool decisive(int e, int d) const { return e == 1 || e < d || (rem_ == 0 && e == d); }

  // -- best mode -------------------------------------------------------------

  // A decisive hit is written and ends the search. Otherwise the hit with
  // the fewest errors (the first met among equals) is kept, and written at
  // the end of a level once its count is at most d, or after the last level.
  // In the indel pass no hit is decisive and the kept one is written at the
  // end of its level.
  struct BestRules {
    static constexpr bool kClears = false;
    ReadMapper& m;
    bool indel;
    int floor;
    int best;
    std::int64_t start = 0;
    char strand = 'F';

    void begin_strand() {}
    // An alignment counts only with fewer errors than the kept one.
    bool may_improve(int fewest) const { return fewest < best; }
    int needed() const { return best; }
    bool take(const Strand& st, const Candidate& c, int e, int d) {
      if (!indel && m.decisive(e, d)) {
        m.write(st.name, e, c.start);
        return true;
      }
      if (e < best) {
        best = e;
        start = c.start;
        strand = st.name;
      }
      return false;
    }
    bool end_level(int d) { return (indel || best <= d) && finish(); }
    bool finish() {
      if (start == 0) return false;
      m.write(strand, best, start);
      return true;
    }
  };

  void best_search(std::span<Strand* const> strands, int S) {
    if (perfect_pass(strands, S, false)) return;
    BestRules level{*this, false, threshold(S, max_errors_), max_errors_ + 1};
    if (search_levels(level, Compare::kVerify, strands, S) || !indel_) return;
    BestRules gapped{*this, true, 0, max_errors_ + 1};
    search_levels(gapped, Compare::kAlign, strands, S);
  }

  // -- export-all mode -------------------------------------------------------

  // Level search: a decisive hit is written and marks the read found, which
  // ends the search after its level; a hit with fewer errors than every
  // earlier one is written as tentative and raises the floor. The entries of
  // a written start are cleared, so that no lower level writes it again.
  // Indel pass: every alignment with fewer errors than the level's best so
  // far is written, once per start and strand at that level (up to 100
  // starts remembered); the pass ends after the first level that accepted one.
  struct ExportRules {
    static constexpr bool kClears = true;
    ReadMapper& m;
    bool indel;
    int floor;
    int best;
    int seeds;
    bool found = false;  // in the indel pass: an alignment was accepted
    bool tentative = false;

    void begin_strand() {
      if (indel) m.written_.clear();
    }
    // An alignment is accepted only with fewer errors than the level's best.
    bool may_improve(int fewest) const { return fewest < best; }
    int needed() const { return best; }
    bool take(Strand& st, const Candidate& c, int e, int d) {
      if (indel) {
        accept_alignment(st, c, e);
        return false;
      }
      if (m.decisive(e, d)) {
        found = true;
      } else if (e < best) {
        tentative = true;
        best = e;
      } else {
        return false;
      }
      m.write(st.name, e, c.start);
      st.votes.clear(c.slot);
      return false;
    }
    void accept_alignment(const Strand& st, const Candidate& c, int e) {
      if (e >= best) return;
      best = e;
      found = true;
      auto& written = m.written_;
      if (std::find(written.begin(), written.end(), c.start) != written.end()) return;
      m.write(st.name, e, c.start);
      if (written.size() < 100) written.push_back(c.start);
    }
    bool end_level(int) {
      if (found) return true;
      if (tentative && !indel) floor = std::max(floor, m.threshold(seeds, best));
      return false;
    }
    bool finish() { return found; }
  };

  void export_all_search(std::span<Strand* const> strands, int S) {
    if (perfect_pass(strands, S, true)) return;
    ExportRules level{*this, false, threshold(S, max_errors_), max_errors_ + 1, S};
    if (search_levels(level, Compare::kVerify, strands, S) || !indel_) return;
    ExportRules gapped{*this, true, 0, max_errors_ + 1, S};
    search_levels(gapped, Compare::kAlign, strands, S);
  }

  // -- first-hit mode ---------------------------------------------------------

  // The first hit within E errors is written and ends the search.
  struct FirstHitRules {
    static constexpr bool kClears = false;
    ReadMapper& m;
    int floor;

    void begin_strand() {}
    // The first alignment within max_errors is taken.
    bool may_improve(int fewest) const { return fewest <= m.max_errors_; }
    int needed() const { return m.max_errors_ + 1; }
    bool take(const Strand& st, const Candidate& c, int e, int) {
      m.write(st.name, e, c.start);
      return true;
    }
    bool end_level(int) { return false; }
    bool finish() { return false; }
  };

  // One search on one strand, the seeds of the whole read S_all; true when
  // it wrote a record.
  bool first_hit_search(Strand& st, int S_all, std::span<const SeedLookups::Bucket> buckets) {
    collect(st, S_all, buckets, -1);
    const int S = static_cast<int>(buckets.size());
    Strand* const one[] = {&st};
    if (first_hit_reduces(S_all)) {
      // The voting seeds no longer cover the read: a start on which all of
      // them agree is verified before it is written.
      FirstHitRules perfect{*this, S - 1};
      if (search_levels(perfect, Compare::kVerify, one, S, 0)) return true;
    } else if (perfect_pass(one, S, false)) {
      return true;
    }
    FirstHitRules level{*this, threshold(S, max_errors_)};
    if (search_levels(level, Compare::kVerify, one, S)) return true;
    FirstHitRules gapped{*this, 0};
    return indel_ && search_levels(gapped, Compare::kAlign, one, S);
  }

  // -- one read ----------------------------------------------------------------

  void map(const BatchRead& b) {
    if (b.seeds == 0) return;
    number_ = b.read.number;
    read_ = &b.read.sequence;
    read_length_ = static_cast<int>(read_->size());
    rem_ = b.rem;
    fwd_.text = read_;
    rev_.text = &b.reverse;
    fwd_.voting = b.forward_voting;
    rev_.voting = b.reverse_voting;
    const int S = b.seeds;
    if (mode_ == Mode::kFirstHit) {
      if (first_hit_search(fwd_, S, lookups_.buckets(b.forward_seeds))) return;
      if (both_) first_hit_search(rev_, S, lookups_.buckets(b.reverse_seeds));
      return;
    }
    const std::int64_t upper = segment_length_ - read_length_;
    collect(fwd_, S, lookups_.buckets(b.forward_seeds), upper);
    if (both_) collect(rev_, S, lookups_.buckets(b.reverse_seeds), upper);
    Strand* const strands[] = {&fwd_, &rev_};
    const std::span<Strand* const> searched(strands, both_ ? 2 : 1);
    if (mode_ == Mode::kExportAll)
      export_all_search(searched, S);
    else
      best_search(searched, S);
  }

  const char* seg_;
  std::int64_t segment_length_;
  const Index& index_;
  OutputFile& out_;
  int max_errors_;
  int seed_length_;
  bool indel_;
  bool both_;
  Mode mode_;

  int number_ = 0;
  const std::string* read_ = nullptr;
  int read_length_ = 0;
  int rem_ = 0;
  Strand fwd_, rev_;
  SeedLookups lookups_;
  std::vector<std::int64_t> keys_;
  std::vector<std::int64_t> reverse_keys_;
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
  JobMemory* memory = settings.memory;
  auto t0 = Clock::now();
  Segment segment =
      load_segment(segment_path, settings.masked_toggle, memory ? &memory->bases : nullptr);
  stats.load_seconds = seconds_since(t0);
  t0 = Clock::now();
  Index index = build(segment, settings, index_copy(memory, slice));
  stats.build_seconds = seconds_since(t0);
  t0 = Clock::now();
  map_reads(segment, index, read_path, out, settings, stats, slice);
  out.close();
  stats.map_seconds = seconds_since(t0);
  give_back(memory, slice, std::move(segment), std::move(index.memory));
  return stats;
}

}  // namespace

template <class Index>
void map_reads(const Segment& segment, const Index& index, const std::string& read_path,
               OutputFile& out, const MapSettings& settings, MapStats& stats, ReadSlice slice) {
  ReadMapper<Index> mapper(segment, index, out, settings);
  if (!mapper.maps_anything()) return;
  NumberedReadReader reader(read_path, slice);
  std::vector<BatchRead> batch(kLookupBatchReads);
  for (;;) {
    std::exception_ptr failure;
    const std::size_t count = read_batch(reader, std::span(batch), failure);
    mapper.map_batch(std::span(batch).first(count));
    stats.reads += static_cast<long>(count);
    if (settings.progress) settings.progress->add(static_cast<long>(count));
    if (failure) std::rethrow_exception(failure);
    if (count < batch.size()) break;
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
  return run_mapping<SeedIndex>(
      segment_path, read_path, result_path, settings, slice,
      [](const Segment& segment, const MapSettings& s, ReusableMemory* copy) {
        return obtain_seed_index(segment, s.seed_length, s.masked_toggle, s.index_store, copy);
      });
}

MapStats quilm_x_red(const std::string& segment_path, const std::string& read_path,
                     const std::string& result_path, const MapSettings& settings, ReadSlice slice) {
  return run_mapping<ReducedSeedIndex>(
      segment_path, read_path, result_path, settings, slice,
      [](const Segment& segment, const MapSettings& s, ReusableMemory* copy) {
        return obtain_reduced_seed_index(segment, s.seed_length, s.masked_toggle, s.index_store,
                                         copy);
      });
}

}  // namespace quilm
