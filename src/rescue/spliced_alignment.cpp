#include "rescue/spliced_alignment.hpp"

#include <algorithm>
#include <climits>

namespace quilm {

namespace {

constexpr std::int32_t kNone = INT32_MIN / 4;
constexpr std::int16_t kForbidden = INT16_MAX;

enum StepKind : std::uint8_t { kContinue, kStart, kDeletion, kKnown, kNovel, kInsertion };

char upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool is_base(char c) {
  return c == 'A' || c == 'C' || c == 'G' || c == 'T';
}

void append_operation(std::string& cigar, std::int64_t length, char op) {
  if (length <= 0) return;
  cigar += std::to_string(length);
  cigar += op;
}

std::size_t cell(int i, int j, int count) {
  return static_cast<std::size_t>(i) * static_cast<std::size_t>(count) +
         static_cast<std::size_t>(j);
}

}  // namespace

SplicedAligner::SplicedAligner(std::string_view segment, const SegmentJunctions& junctions,
                               IntronLimits limits)
    : segment_(segment), junctions_(&junctions), limits_(limits) {}

void SplicedAligner::extend_by_junctions(std::vector<std::int64_t>& diagonals, int read_length,
                                         std::size_t cap) const {
  for (int round = 0; round < 2; ++round) {
    const std::size_t given = diagonals.size();
    for (std::size_t k = 0; k < given && diagonals.size() < cap; ++k) {
      const std::int64_t d = diagonals[k];
      // Leaving the diagonal after read base i - 1 (1 <= i < n) at an intron
      // starting on segment base d + i; entering it at base i after one
      // ending on d + i - 1.
      for (const SegmentJunction& j : junctions_->starting_in(d + 1, d + read_length))
        if (diagonals.size() < cap) diagonals.push_back(d + j.length());
      for (const SegmentJunction& j : junctions_->ending_in(d, d + read_length - 1))
        if (diagonals.size() < cap) diagonals.push_back(d - j.length());
    }
    std::sort(diagonals.begin(), diagonals.end());
    diagonals.erase(std::unique(diagonals.begin(), diagonals.end()), diagonals.end());
  }
}

int SplicedAligner::substitution(char read_base, std::int64_t p) const {
  if (p < 0 || p >= static_cast<std::int64_t>(segment_.size())) return RescueScore::kMismatch;
  const char r = upper(segment_[static_cast<std::size_t>(p)]);
  if (!is_base(read_base) || !is_base(r)) return RescueScore::kUnknownBase;
  return read_base == r ? RescueScore::kMatch : RescueScore::kMismatch;
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
    entered_.resize(cells);
    steps_.resize(cells);
  }
  const std::size_t pairs = cells * static_cast<std::size_t>(count_);
  if (cost_.size() < pairs) {
    cost_.resize(pairs);
    cost_kind_.resize(pairs);
  }
}

std::size_t SplicedAligner::pair_base(int from, int to) const {
  return cell(from, to, count_) * static_cast<std::size_t>(n_ + 1);
}

void SplicedAligner::fill_gap_costs(int from, int to, bool allow_novel) {
  const std::size_t base = pair_base(from, to);
  std::fill_n(cost_.begin() + static_cast<std::ptrdiff_t>(base), n_ + 1, kForbidden);
  if (from == to) return;
  const std::int64_t delta = diagonal_[to] - diagonal_[from];
  const std::int64_t gap = delta < 0 ? -delta : delta;
  if (gap <= kMaxIndel) {
    const auto cost =
        static_cast<std::int16_t>(RescueScore::kGapOpen + RescueScore::kGapExtend * gap);
    // An insertion of k bases enters at i from base i - k; either gap needs
    // an aligned base on both sides.
    const int lowest = delta < 0 ? static_cast<int>(gap) + 1 : 1;
    for (int i = lowest; i < n_; ++i) {
      cost_[base + static_cast<std::size_t>(i)] = cost;
      cost_kind_[base + static_cast<std::size_t>(i)] = delta < 0 ? kInsertion : kDeletion;
    }
  }
  if (delta >= limits_.shortest && delta <= limits_.longest)
    fill_intron_costs(from, to, allow_novel);
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
  for (int i = kMinNovelAnchor; allow_novel && i <= n_ - kMinNovelAnchor; ++i) {
    int cost = 0;
    if (signal_strand(d + i, d + i + delta - 1, cost) != '.') offer(i, cost, kNovel);
  }
  for (const SegmentJunction& j : junctions_->starting_in(d + 1, d + n_))
    if (j.length() == delta)
      offer(static_cast<int>(j.first - d), RescueScore::kKnownIntron, kKnown);
}

// The best way to stand before read base i on diagonal j: the path goes on
// along j, starts here (clipping the bases before), or comes from another
// diagonal through a gap or an intron.
void SplicedAligner::enter(int i, int j) {
  std::int32_t best = i == 0 ? 0 : -RescueScore::kClip;
  Step step{-1, i, kStart};
  if (i > 0 && matched_[cell(i, j, count_)] >= best) {
    best = matched_[cell(i, j, count_)];
    step = {j, i, kContinue};
  }
  for (int from = 0; i > 0 && from < count_; ++from) {
    const std::size_t at = pair_base(from, j) + static_cast<std::size_t>(i);
    const std::int16_t cost = cost_[at];
    if (cost == kForbidden) continue;
    const int source =
        cost_kind_[at] == kInsertion ? i - static_cast<int>(diagonal_[from] - diagonal_[j]) : i;
    const std::int32_t v = matched_[cell(source, from, count_)];
    if (v != kNone && v - cost > best) {
      best = v - cost;
      step = {from, source, cost_kind_[at]};
    }
  }
  entered_[cell(i, j, count_)] = best;
  steps_[cell(i, j, count_)] = step;
}

int SplicedAligner::run(int& end_position, int& end_diagonal) {
  for (int j = 0; j < count_; ++j) matched_[cell(0, j, count_)] = kNone;
  std::int32_t best = kNone;
  for (int i = 0; i <= n_; ++i) {
    for (int j = 0; j < count_; ++j) enter(i, j);
    if (i == n_) break;
    for (int j = 0; j < count_; ++j) {
      const std::int32_t m =
          entered_[cell(i, j, count_)] + substitution(read_[i], diagonal_[j] + i);
      matched_[cell(i + 1, j, count_)] = m;
      const std::int32_t end = i + 1 == n_ ? m : m - RescueScore::kClip;
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
  for (int from = 0; from < count_; ++from)
    for (int to = 0; to < count_; ++to) fill_gap_costs(from, to, allow_novel);
  int end_position = 0, end_diagonal = 0;
  const int score = run(end_position, end_diagonal);
  if (score < minimum_rescue_score(n_)) return Outcome::kNone;
  trace(end_position, end_diagonal);
  out.score = score;
  return describe(out);
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
