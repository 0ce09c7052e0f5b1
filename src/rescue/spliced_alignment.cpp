#include "rescue/spliced_alignment.hpp"

#include <algorithm>
#include <array>
#include <climits>
#include <tuple>

namespace quilm {

namespace {

constexpr std::int32_t kNone = INT32_MIN / 4;
constexpr std::int16_t kForbidden = INT16_MAX;

enum StepKind : std::uint8_t { kContinue, kStart, kDeletion, kKnown, kNovel, kInsertion };

char upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

void append_operation(std::string& cigar, std::int64_t length, char op) {
  if (length <= 0) return;
  cigar += std::to_string(length);
  cigar += op;
}

// 0..3 for A, C, G, T, 4 for anything else; lower case like upper case, or
// (a masked genome) like anything else.
constexpr std::array<std::uint8_t, 256> nucleotide_codes(bool lower_case_matches) {
  std::array<std::uint8_t, 256> t{};
  for (auto& v : t) v = 4;
  t['A'] = 0;
  t['C'] = 1;
  t['G'] = 2;
  t['T'] = 3;
  if (lower_case_matches) {
    t['a'] = 0;
    t['c'] = 1;
    t['g'] = 2;
    t['t'] = 3;
  }
  return t;
}
constexpr std::array<std::uint8_t, 256> kNucleotide = nucleotide_codes(true);
constexpr std::array<std::uint8_t, 256> kMaskedNucleotide = nucleotide_codes(false);

// Donor codes: GT, GC, AT (the '+' strand's), CT (the '-' strand's GT..AG
// and GC..AG reversed), then acceptor codes AG, AC, GC, AT.
enum Donor : std::uint8_t { kNoDonor, kGT, kGC, kAT, kCT };
enum Acceptor : std::uint8_t { kNoAcceptor, kAG, kAC, kAcceptorGC, kAcceptorAT };

// By the nucleotide codes of the two bases (A, C, G, T, other).
constexpr std::uint8_t kDonorCode[5][5] = {
    {0, 0, 0, kAT, 0}, {0, 0, 0, kCT, 0}, {0, kGC, 0, kGT, 0}, {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}};
constexpr std::uint8_t kAcceptorCode[5][5] = {{0, kAC, kAG, kAcceptorAT, 0},
                                              {0, 0, 0, 0, 0},
                                              {0, kAcceptorGC, 0, 0, 0},
                                              {0, 0, 0, 0, 0},
                                              {0, 0, 0, 0, 0}};

// The cost of a new intron with these ends, 0 for no splice signal:
// GT..AG and its reverse CT..AC cheaper than GC..AG, AT..AC and theirs.
constexpr std::uint8_t kSignalCost[5][5] = {
    {0, 0, 0, 0, 0},
    {0, RescueScore::kIntronGtAg, 0, 0, RescueScore::kIntronOtherSignal},  // GT: AG, (AT)
    {0, RescueScore::kIntronOtherSignal, 0, 0, 0},                         // GC: AG
    {0, 0, RescueScore::kIntronOtherSignal, 0, 0},                         // AT: AC
    {0, 0, RescueScore::kIntronGtAg, RescueScore::kIntronOtherSignal, 0},  // CT: AC, GC
};

// The score of a read base on a segment base by their codes: unknown when
// either is not A, C, G or T.
constexpr std::array<std::array<std::int8_t, 5>, 5> score_of_codes() {
  std::array<std::array<std::int8_t, 5>, 5> t{};
  for (int q = 0; q < 5; ++q)
    for (int r = 0; r < 5; ++r)
      t[q][r] = static_cast<std::int8_t>(q == 4 || r == 4 ? RescueScore::kUnknownBase
                                         : q == r         ? RescueScore::kMatch
                                                          : RescueScore::kMismatch);
  return t;
}
constexpr auto kScoreOfCodes = score_of_codes();

std::size_t cell(int i, int j, int count) {
  return static_cast<std::size_t>(i) * static_cast<std::size_t>(count) +
         static_cast<std::size_t>(j);
}

}  // namespace

SplicedAligner::SplicedAligner(std::string_view segment, const SegmentJunctions& junctions,
                               IntronLimits limits, bool masked)
    : segment_(segment),
      junctions_(&junctions),
      limits_(limits),
      reference_codes_(masked ? &kMaskedNucleotide : &kNucleotide) {}

// Mismatches of read bases [from, to) on diagonal d.
int SplicedAligner::mismatches(std::string_view read, std::int64_t d, int from, int to) const {
  int count = 0;
  for (int i = std::max(from, 0); i < to && i < static_cast<int>(read.size()); ++i)
    count += substitution(read[static_cast<std::size_t>(i)], d + i) != RescueScore::kMatch;
  return count;
}

// A junction is worth a diagonal only where the read stops fitting the
// diagonal it leaves (or has not yet fitted the one it enters): two of the
// next kProbe bases differ, or one where fewer remain; and where the read
// fits the diagonal across the junction (at most one of those bases
// differs there).
bool SplicedAligner::leaves_at(std::string_view read, std::int64_t d, int i) const {
  const int n = static_cast<int>(read.size());
  const int m = mismatches(read, d, i, i + kProbe);
  return m >= 2 || (m == 1 && i + kProbe > n);
}

bool SplicedAligner::enters_at(std::string_view read, std::int64_t d, int i) const {
  const int m = mismatches(read, d, i - kProbe, i);
  return m >= 2 || (m == 1 && i - kProbe < 0);
}

// The read's end of `span` bases fits diagonal d when at most `allowed` of
// them differ.
bool SplicedAligner::fits(std::string_view read, std::int64_t d, bool head, int span,
                          int allowed) const {
  const int n = static_cast<int>(read.size());
  const int from = head ? 0 : n - span;
  const auto length = static_cast<std::int64_t>(segment_.size());
  if (d + from < 0 || d + from + span > length) {
    for (int i = from; i < from + span; ++i)
      if (substitution(read[static_cast<std::size_t>(i)], d + i) != RescueScore::kMatch &&
          --allowed < 0)
        return false;
    return true;
  }
  // Inside the segment: a base differs unless both are the same of A, C, G, T.
  const auto& codes = *reference_codes_;
  const char* bases = segment_.data() + (d + from);
  const char* bases_of_read = read.data() + from;
  for (int i = 0; i < span; ++i) {
    const std::uint8_t q = kNucleotide[static_cast<unsigned char>(bases_of_read[i])];
    if ((q == 4 || q != codes[static_cast<unsigned char>(bases[i])]) && --allowed < 0) return false;
  }
  return true;
}

void SplicedAligner::extend_by_indels(std::string_view read, std::vector<std::int64_t>& diagonals,
                                      std::size_t cap) const {
  const int span = std::min(kIndelProbe, static_cast<int>(read.size()) / 3);
  const std::size_t given = diagonals.size();
  for (std::size_t k = 0; k < given; ++k) {
    const std::int64_t d = diagonals[k];
    for (const bool head : {true, false}) {
      // An end where a few bases differ may lie past an indel: on a
      // diagonal up to kMaxIndel away that its outermost kIndelAnchor bases
      // fit (an indel may lie as near the end as that).
      if (fits(read, d, head, span, 2)) continue;
      for (int shift = -kMaxIndel; shift <= kMaxIndel && diagonals.size() < cap; ++shift)
        if (shift != 0 && fits(read, d + shift, head, kIndelAnchor, 1))
          diagonals.push_back(d + shift);
    }
  }
  std::sort(diagonals.begin(), diagonals.end());
  diagonals.erase(std::unique(diagonals.begin(), diagonals.end()), diagonals.end());
}

void SplicedAligner::extend_by_junctions(std::string_view read,
                                         std::vector<std::int64_t>& diagonals,
                                         std::size_t cap) const {
  const int n = static_cast<int>(read.size());
  for (int round = 0; round < 2; ++round) {
    const std::size_t given = diagonals.size();
    for (std::size_t k = 0; k < given && diagonals.size() < cap; ++k) {
      const std::int64_t d = diagonals[k];
      // Leaving the diagonal after read base i - 1 (1 <= i < n) at an intron
      // starting on segment base d + i; entering it at base i after one
      // ending on d + i - 1.
      for (const SegmentJunction& j : junctions_->starting_in(d + 1, d + n)) {
        const int i = static_cast<int>(j.first - d);
        const std::int64_t next = d + j.length();
        if (diagonals.size() < cap && leaves_at(read, d, i) &&
            mismatches(read, next, i, i + kProbe) <= 1)
          diagonals.push_back(next);
      }
      for (const SegmentJunction& j : junctions_->ending_in(d, d + n - 1)) {
        const int i = static_cast<int>(j.last + 1 - d);
        const std::int64_t before = d - j.length();
        if (diagonals.size() < cap && enters_at(read, d, i) &&
            mismatches(read, before, i - kProbe, i) <= 1)
          diagonals.push_back(before);
      }
    }
    std::sort(diagonals.begin(), diagonals.end());
    diagonals.erase(std::unique(diagonals.begin(), diagonals.end()), diagonals.end());
  }
}

int SplicedAligner::substitution(char read_base, std::int64_t p) const {
  if (p < 0 || p >= static_cast<std::int64_t>(segment_.size())) return RescueScore::kMismatch;
  const std::uint8_t r =
      (*reference_codes_)[static_cast<unsigned char>(segment_[static_cast<std::size_t>(p)])];
  const std::uint8_t q = kNucleotide[static_cast<unsigned char>(read_base)];
  if (q == 4 || r == 4) return RescueScore::kUnknownBase;
  return q == r ? RescueScore::kMatch : RescueScore::kMismatch;
}

// '+' for GT..AG, GC..AG and AT..AC on the segment, '-' for their reverse
// complements, '.' for anything else; `cost` is that of a new junction
// with the signal.
char SplicedAligner::signal_strand(std::int64_t first, std::int64_t last, int& cost) const {
  if (first < 0 || last + 1 > static_cast<std::int64_t>(segment_.size()) || last - first < 3)
    return '.';
  const auto at = [&](std::int64_t p) { return upper(segment_[static_cast<std::size_t>(p)]); };
  const char d0 = at(first), d1 = at(first + 1), a0 = at(last - 1), a1 = at(last);
  const auto is = [](char x, char y, const char* pair) { return x == pair[0] && y == pair[1]; };
  cost = RescueScore::kIntronGtAg;
  if (is(d0, d1, "GT") && is(a0, a1, "AG")) return '+';
  if (is(d0, d1, "CT") && is(a0, a1, "AC")) return '-';
  cost = RescueScore::kIntronOtherSignal;
  if ((is(d0, d1, "GC") && is(a0, a1, "AG")) || (is(d0, d1, "AT") && is(a0, a1, "AC"))) return '+';
  if ((is(d0, d1, "CT") && is(a0, a1, "GC")) || (is(d0, d1, "GT") && is(a0, a1, "AT"))) return '-';
  return '.';
}

void SplicedAligner::prepare(std::string_view read, std::span<const std::int64_t> diagonals) {
  read_ = read;
  diagonal_ = diagonals;
  n_ = static_cast<int>(read.size());
  count_ = static_cast<int>(diagonals.size());
  const std::size_t cells = cell(n_ + 1, 0, count_);
  if (matched_.size() < cells) {
    matched_.resize(cells);
    steps_.resize(cells);
  }
  const std::size_t pairs = cells * static_cast<std::size_t>(count_);
  if (cost_.size() < pairs) {
    cost_.resize(pairs);
    cost_kind_.resize(pairs);
  }
  const std::size_t code_rows =
      (static_cast<std::size_t>(n_) + 4) * static_cast<std::size_t>(count_);
  if (signal_codes_.size() < code_rows) signal_codes_.resize(code_rows);
  const auto square = static_cast<std::size_t>(count_) * static_cast<std::size_t>(count_);
  if (sources_.size() < square) sources_.resize(square);
  if (source_count_.size() < static_cast<std::size_t>(count_))
    source_count_.resize(static_cast<std::size_t>(count_));
  signals_found_.assign(static_cast<std::size_t>(count_), false);
  junctions_found_.assign(static_cast<std::size_t>(count_), false);
  const auto diagonals_count = static_cast<std::size_t>(count_);
  if (donor_positions_.size() < diagonals_count) donor_positions_.resize(diagonals_count);
  if (junctions_leaving_.size() < diagonals_count) junctions_leaving_.resize(diagonals_count);
  if (intron_cursor_.size() < diagonals_count) intron_cursor_.resize(diagonals_count);
  if (intron_start_.size() < diagonals_count + 1) intron_start_.resize(diagonals_count + 1);
  read_codes_.resize(static_cast<std::size_t>(n_));
  for (int i = 0; i < n_; ++i)
    read_codes_[static_cast<std::size_t>(i)] =
        kNucleotide[static_cast<unsigned char>(read[static_cast<std::size_t>(i)])];
  const std::size_t scores = static_cast<std::size_t>(n_) * static_cast<std::size_t>(count_);
  if (substitution_.size() < scores) substitution_.resize(scores);
}

// The signal codes of diagonal j, once per read: only diagonals that an
// intron may join need them.
void SplicedAligner::find_signals(int j) {
  if (signals_found_[static_cast<std::size_t>(j)]) return;
  signals_found_[static_cast<std::size_t>(j)] = true;
  const auto length = static_cast<std::int64_t>(segment_.size());
  const std::int64_t d = diagonal_[j];
  // The codes of segment bases d - 2 to d + n + 1 (4 outside the segment).
  const auto span = static_cast<std::size_t>(n_) + 4;
  std::uint8_t* c = &signal_codes_[static_cast<std::size_t>(j) * span];
  const auto& codes = *reference_codes_;
  if (d - 2 >= 0 && d + n_ + 2 <= length) {
    const char* bases = segment_.data() + (d - 2);
    for (std::size_t k = 0; k < span; ++k) c[k] = codes[static_cast<unsigned char>(bases[k])];
  } else {
    for (std::size_t k = 0; k < span; ++k) {
      const std::int64_t p = d - 2 + static_cast<std::int64_t>(k);
      c[k] = p >= 0 && p < length
                 ? codes[static_cast<unsigned char>(segment_[static_cast<std::size_t>(p)])]
                 : 4;
    }
  }
  std::vector<int>& donors = donor_positions_[static_cast<std::size_t>(j)];
  donors.clear();
  // The codes through a local pointer (as donor_at reads them): the stores
  // into the list would otherwise reload the row and the read length.
  const int last = n_ - kMinNovelAnchor;
  for (int i = kMinNovelAnchor; i <= last; ++i)
    if (kDonorCode[c[i + 2]][c[i + 3]] != kNoDonor) donors.push_back(i);
}

// Read position i on diagonal j: the donor is segment bases d + i and
// d + i + 1 (codes i + 2, i + 3), the acceptor the two before d + i.
std::uint8_t SplicedAligner::donor_at(int i, int j) const {
  const std::uint8_t* c =
      &signal_codes_[static_cast<std::size_t>(j) * (static_cast<std::size_t>(n_) + 4)];
  return kDonorCode[c[i + 2]][c[i + 3]];
}

std::uint8_t SplicedAligner::acceptor_at(int i, int j) const {
  const std::uint8_t* c =
      &signal_codes_[static_cast<std::size_t>(j) * (static_cast<std::size_t>(n_) + 4)];
  return kAcceptorCode[c[i]][c[i + 1]];
}

// The known junctions a read on diagonal j may leave it through, once per
// diagonal and read.
std::span<const SegmentJunction> SplicedAligner::junctions_leaving(int j) {
  const auto k = static_cast<std::size_t>(j);
  if (!junctions_found_[k]) {
    junctions_found_[k] = true;
    const std::int64_t d = diagonal_[j];
    junctions_leaving_[k] = junctions_->starting_in(d + 1, d + n_);
  }
  return junctions_leaving_[k];
}

std::size_t SplicedAligner::pair_base(int from, int to) const {
  return cell(from, to, count_) * static_cast<std::size_t>(n_ + 1);
}

// The source of a step from `from` into `to` through a gap (they lie at
// most kMaxIndel apart): one cost from its lowest position on, unless an
// intron may join them too, whose costs then go into a row.
SplicedAligner::Source SplicedAligner::gap_source(int from, int to, bool allow_novel) {
  const std::int64_t delta = diagonal_[to] - diagonal_[from];
  const std::int64_t gap = delta < 0 ? -delta : delta;
  const auto cost =
      static_cast<std::int16_t>(RescueScore::kGapOpen + RescueScore::kGapExtend * gap);
  const std::uint8_t kind = delta < 0 ? kInsertion : kDeletion;
  // An insertion of k bases enters at i from base i - k; either gap needs
  // an aligned base on both sides.
  const int lowest = delta < 0 ? static_cast<int>(gap) + 1 : 1;
  Source source{from, static_cast<int>(-delta), lowest, cost, kind, nullptr, nullptr};
  if (!(delta >= limits_.shortest && delta <= limits_.longest)) return source;
  const std::size_t base = pair_base(from, to);
  std::fill_n(cost_.begin() + static_cast<std::ptrdiff_t>(base), n_ + 1, kForbidden);
  for (int i = lowest; i < n_; ++i) {
    cost_[base + static_cast<std::size_t>(i)] = cost;
    cost_kind_[base + static_cast<std::size_t>(i)] = kind;
  }
  fill_intron_costs(from, to, allow_novel);
  source.costs = &cost_[base];
  source.kinds = &cost_kind_[base];
  return source;
}

void SplicedAligner::fill_intron_costs(int from, int to, bool allow_novel) {
  const std::size_t base = pair_base(from, to);
  const std::int64_t d = diagonal_[from];
  const std::int64_t delta = diagonal_[to] - d;
  const auto offer = [&](int i, int cost, std::uint8_t kind) {
    std::int16_t& c = cost_[base + static_cast<std::size_t>(i)];
    if (cost < c) {
      c = static_cast<std::int16_t>(cost);
      cost_kind_[base + static_cast<std::size_t>(i)] = kind;
    }
  };
  if (allow_novel) {
    find_signals(from);
    find_signals(to);
  }
  for (int i = kMinNovelAnchor; allow_novel && i <= n_ - kMinNovelAnchor; ++i) {
    const int cost = kSignalCost[donor_at(i, from)][acceptor_at(i, to)];
    if (cost > 0) offer(i, cost, kNovel);
  }
  for (const SegmentJunction& j : junctions_leaving(from))
    if (j.length() == delta)
      offer(static_cast<int>(j.first - d), RescueScore::kKnownIntron, kKnown);
}

// The steps from `from` into `to` across an intron too long for a gap: the
// read positions where a splice signal pair or a known junction allows it,
// each at its lowest cost (a known junction's over a new one's).
void SplicedAligner::add_intron_steps(int from, int to, bool allow_novel) {
  const std::size_t first = intron_steps_.size();
  const std::int64_t d = diagonal_[from];
  const std::int64_t delta = diagonal_[to] - d;
  if (allow_novel) {
    find_signals(from);
    find_signals(to);
    for (const int i : donor_positions_[static_cast<std::size_t>(from)]) {
      const int cost = kSignalCost[donor_at(i, from)][acceptor_at(i, to)];
      if (cost > 0) intron_steps_.push_back({i, from, cost, kNovel});
    }
  }
  const std::size_t novel_end = intron_steps_.size();
  for (const SegmentJunction& j : junctions_leaving(from)) {
    if (j.length() != delta) continue;
    const int i = static_cast<int>(j.first - d);
    // The known junction replaces a new one at the same place: it costs less.
    const auto same = std::find_if(intron_steps_.begin() + static_cast<std::ptrdiff_t>(first),
                                   intron_steps_.begin() + static_cast<std::ptrdiff_t>(novel_end),
                                   [i](const IntronStep& e) { return e.position == i; });
    if (same != intron_steps_.begin() + static_cast<std::ptrdiff_t>(novel_end))
      *same = {i, from, RescueScore::kKnownIntron, kKnown};
    else
      intron_steps_.push_back({i, from, RescueScore::kKnownIntron, kKnown});
  }
}

// The score of every read base on every diagonal, row by row: the
// programme then reads one array instead of two tables and a bound check.
void SplicedAligner::fill_substitutions() {
  const auto length = static_cast<std::int64_t>(segment_.size());
  const auto n = static_cast<std::size_t>(n_);
  for (int j = 0; j < count_; ++j) {
    std::int8_t* row = &substitution_[static_cast<std::size_t>(j) * n];
    const std::int64_t d = diagonal_[j];
    if (d < 0 || d + n_ > length) {
      for (int i = 0; i < n_; ++i) row[i] = static_cast<std::int8_t>(substitution(read_[i], d + i));
      continue;
    }
    // Local pointers: a store into the row (a char type) could otherwise
    // alias every member and force a reload per base.
    const char* bases = segment_.data() + d;
    const std::uint8_t* read_codes = read_codes_.data();
    const std::uint8_t* codes = reference_codes_->data();
    for (std::size_t i = 0; i < n; ++i)
      row[i] = kScoreOfCodes[read_codes[i]][codes[static_cast<unsigned char>(bases[i])]];
  }
}

// The programme, row by row: before read base i, each diagonal j is
// entered the best way (the path goes on along j, starts there, clipping
// the bases before, or comes from another diagonal through a gap or an
// intron), then takes base i. Row i + 1 reads only rows up to i. The work
// areas are read through local pointers so that the stores into them do
// not make the compiler reload every member.
int SplicedAligner::run(int& end_position, int& end_diagonal) {
  fill_substitutions();
  const int count = count_;
  const int n = n_;
  std::int32_t* const matched = matched_.data();
  Step* const steps = steps_.data();
  const std::int8_t* const scores = substitution_.data();
  const Source* const all_sources = sources_.data();
  const int* const source_count = source_count_.data();
  const IntronStep* const intron_steps = intron_steps_.data();
  const std::size_t* const intron_start = intron_start_.data();
  std::size_t* const intron_cursor = intron_cursor_.data();
  for (int j = 0; j < count; ++j) matched[j] = kNone;
  std::int32_t best = kNone;
  for (int i = 0; i < n; ++i) {
    const std::int32_t* const row = matched + cell(i, 0, count);
    std::int32_t* const next_row = matched + cell(i + 1, 0, count);
    Step* const step_row = steps + cell(i, 0, count);
    for (int j = 0; j < count; ++j) {
      std::int32_t here = i == 0 ? 0 : -RescueScore::kClip;
      Step step{-1, i, kStart};
      if (i > 0) {
        if (row[j] >= here) {
          here = row[j];
          step = {j, i, kContinue};
        }
        const Source* const sources = all_sources + cell(j, 0, count);
        for (int k = 0; k < source_count[j]; ++k) {
          const Source& f = sources[k];
          std::int16_t cost = f.cost;
          std::uint8_t kind = f.kind;
          if (f.costs == nullptr) {
            if (i < f.lowest) continue;
          } else {
            cost = f.costs[i];
            if (cost == kForbidden) continue;
            kind = f.kinds[i];
          }
          const int source = kind == kInsertion ? i - f.inserted : i;
          const std::int32_t v = matched[cell(source, f.from, count)] - cost;
          if (v > here) {
            here = v;
            step = {f.from, source, kind};
          }
        }
        // The intron steps into j at i, as if among the sources by
        // ascending diagonal: the first of the best wins a tie.
        std::size_t next = intron_cursor[j];
        for (; next < intron_start[j + 1] && intron_steps[next].position == i; ++next) {
          const IntronStep& e = intron_steps[next];
          const std::int32_t v = row[e.from] - e.cost;
          if (v > here || (v == here && step.kind != kStart && step.kind != kContinue &&
                           e.from < step.from_diagonal)) {
            here = v;
            step = {e.from, i, e.kind};
          }
        }
        intron_cursor[j] = next;
      }
      step_row[j] = step;
      const std::int32_t m = here + scores[cell(j, i, n)];
      next_row[j] = m;
      const std::int32_t end = i + 1 == n ? m : m - RescueScore::kClip;
      if (end > best) {
        best = end;
        end_position = i + 1;
        end_diagonal = j;
      }
    }
  }
  return best;
}

// The blocks of the best path, first to last: runs of aligned bases on one
// diagonal and the step that led into each.
void SplicedAligner::trace(int i, int j) {
  blocks_.clear();
  int block_end = i;
  while (true) {
    const Step& s = steps_[cell(i - 1, j, count_)];
    if (s.kind == kContinue) {
      --i;
      continue;
    }
    blocks_.push_back({diagonal_[j], i - 1, block_end, s.kind});
    if (s.kind == kStart) break;
    i = s.from_position;
    j = s.from_diagonal;
    block_end = i;
  }
  std::reverse(blocks_.begin(), blocks_.end());
}

SplicedAligner::Outcome SplicedAligner::describe(SplicedAlignment& out) const {
  const Block& first = blocks_.front();
  const Block& last = blocks_.back();
  const auto length = static_cast<std::int64_t>(segment_.size());
  if (first.diagonal + first.begin < 0 || last.diagonal + last.end > length) return Outcome::kNone;
  out.position = first.diagonal + first.begin;
  out.cigar.clear();
  out.edit_distance = 0;
  out.introns = 0;
  out.intron_strand = '.';
  append_operation(out.cigar, first.begin, 'S');
  for (std::size_t b = 0; b < blocks_.size(); ++b) {
    const Block& k = blocks_[b];
    if (b > 0) {
      const Block& before = blocks_[b - 1];
      const std::int64_t delta = k.diagonal - before.diagonal;
      if (k.follows == kNovel &&
          (before.end - before.begin < kMinNovelAnchor || k.end - k.begin < kMinNovelAnchor))
        return Outcome::kShortNovelAnchor;
      const bool intron = k.follows == kKnown || k.follows == kNovel;
      append_operation(out.cigar, delta < 0 ? -delta : delta, intron ? 'N' : delta < 0 ? 'I' : 'D');
      out.edit_distance += intron ? 0 : static_cast<int>(delta < 0 ? -delta : delta);
      if (intron && out.introns++ == 0) {
        const std::int64_t at = before.diagonal + before.end;
        const SegmentJunction* known = junctions_->find(at, at + delta - 1);
        int cost = 0;
        out.intron_strand = signal_strand(at, at + delta - 1, cost);
        if (out.intron_strand == '.' && known) out.intron_strand = known->strand;
      }
    }
    append_operation(out.cigar, k.end - k.begin, 'M');
    for (int i = k.begin; i < k.end; ++i)
      if (substitution(read_[i], k.diagonal + i) != RescueScore::kMatch) ++out.edit_distance;
  }
  append_operation(out.cigar, n_ - last.end, 'S');
  classify(out);
  return Outcome::kFound;
}

void SplicedAligner::classify(SplicedAlignment& out) const {
  bool indel = false, short_anchor = false;
  for (std::size_t b = 1; b < blocks_.size(); ++b) {
    const std::uint8_t f = blocks_[b].follows;
    if (f == kDeletion || f == kInsertion) indel = true;
    if (f == kKnown || f == kNovel) {
      if (b == 1 && blocks_[0].end - blocks_[0].begin <= kShortAnchor) short_anchor = true;
      if (b + 1 == blocks_.size() && blocks_[b].end - blocks_[b].begin <= kShortAnchor)
        short_anchor = true;
    }
  }
  const bool clipped = blocks_.front().begin > 0 || blocks_.back().end < n_;
  out.kind = out.introns >= 2   ? RescueKind::kIntrons
             : indel            ? RescueKind::kIndel
             : short_anchor     ? RescueKind::kShortAnchor
             : clipped          ? RescueKind::kClipped
             : out.introns == 1 ? RescueKind::kSplice
                                : RescueKind::kMismatch;
}

SplicedAligner::Outcome SplicedAligner::attempt(bool allow_novel, SplicedAlignment& out) {
  intron_steps_.clear();
  for (int to = 0; to < count_; ++to) {
    Source* sources = &sources_[static_cast<std::size_t>(to) * static_cast<std::size_t>(count_)];
    int& count = source_count_[static_cast<std::size_t>(to)];
    count = 0;
    const std::size_t first = intron_steps_.size();
    intron_start_[static_cast<std::size_t>(to)] = first;
    for (int from = 0; from < count_; ++from) {
      if (from == to) continue;
      const std::int64_t delta = diagonal_[to] - diagonal_[from];
      if (delta > kMaxIndel || -delta > kMaxIndel) {
        // Only an intron joins them: a few positions, kept as a list.
        if (delta >= limits_.shortest && delta <= limits_.longest)
          add_intron_steps(from, to, allow_novel);
        continue;
      }
      sources[count++] = gap_source(from, to, allow_novel);
    }
    std::sort(intron_steps_.begin() + static_cast<std::ptrdiff_t>(first), intron_steps_.end(),
              [](const IntronStep& a, const IntronStep& b) {
                return std::tie(a.position, a.from) < std::tie(b.position, b.from);
              });
    intron_cursor_[static_cast<std::size_t>(to)] = first;
  }
  intron_start_[static_cast<std::size_t>(count_)] = intron_steps_.size();
  int end_position = 0, end_diagonal = 0;
  const int score = run(end_position, end_diagonal);
  if (score < minimum_rescue_score(n_)) return Outcome::kNone;
  trace(end_position, end_diagonal);
  out.score = score;
  return describe(out);
}

bool SplicedAligner::align_ungapped(std::string_view read, std::int64_t diagonal,
                                    SplicedAlignment& out) const {
  const auto n = static_cast<std::int64_t>(read.size());
  if (diagonal < 0 || diagonal + n > static_cast<std::int64_t>(segment_.size())) return false;
  if (!junctions_->starting_in(diagonal + 1, diagonal + n).empty() ||
      !junctions_->ending_in(diagonal, diagonal + n - 1).empty())
    return false;
  // Inside the segment, so the scores come from the code tables directly.
  // The ends are read first and the middle stops once the minimum score is
  // out of reach: most diagonals a read leaves fail there, and the answer
  // is the same as after a full pass.
  const int length = static_cast<int>(n);
  const int minimum = minimum_rescue_score(length);
  const auto& codes = *reference_codes_;
  const char* bases = segment_.data() + diagonal;
  const auto score_at = [&](int i) {
    return kScoreOfCodes[kNucleotide[static_cast<unsigned char>(read[static_cast<std::size_t>(i)])]]
                        [codes[static_cast<unsigned char>(bases[i])]];
  };
  constexpr int kEnd = kShortAnchor + 2;
  const int head_end = std::min(kEnd, length);
  const int tail_begin = std::max(head_end, length - kEnd);
  int score = 0, mismatches = 0, head = 0, tail = 0;
  for (int i = 0; i < head_end; ++i) {
    const int s = score_at(i);
    score += s;
    if (s == RescueScore::kMatch) continue;
    ++mismatches;
    if (++head > 1) return false;
  }
  // Bases length - kEnd to head_end - 1 (a short read) lie in both ends.
  for (int i = length - kEnd; i < head_end; ++i)
    if (i >= 0 && score_at(i) != RescueScore::kMatch && ++tail > 1) return false;
  for (int i = tail_begin; i < length; ++i) {
    const int s = score_at(i);
    score += s;
    if (s == RescueScore::kMatch) continue;
    ++mismatches;
    if (++tail > 1) return false;
  }
  for (int i = head_end; i < tail_begin; ++i) {
    const int s = score_at(i);
    score += s;
    if (s == RescueScore::kMatch) continue;
    ++mismatches;
    if (score + (tail_begin - 1 - i) * RescueScore::kMatch < minimum) return false;
  }
  if (score < minimum) return false;
  out.position = diagonal;
  out.score = score;
  out.edit_distance = mismatches;
  out.introns = 0;
  out.kind = RescueKind::kMismatch;
  out.intron_strand = '.';
  out.cigar.clear();
  append_operation(out.cigar, n, 'M');
  return true;
}

bool SplicedAligner::align(std::string_view read, std::span<const std::int64_t> diagonals,
                           SplicedAlignment& out) {
  if (read.empty() || diagonals.empty()) return false;
  prepare(read, diagonals);
  Outcome outcome = attempt(true, out);
  if (outcome == Outcome::kShortNovelAnchor) outcome = attempt(false, out);
  return outcome == Outcome::kFound;
}

}  // namespace quilm
