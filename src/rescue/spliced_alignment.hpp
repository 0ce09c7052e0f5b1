// Alignment of a read over a few candidate diagonals of a segment (a
// diagonal d places read base i on segment base d + i). A dynamic programme
// over read positions and diagonals finds the best-scoring path: it follows
// one diagonal base by base, may leave a diagonal for a higher one (a
// deletion up to kMaxIndel bases, or an intron at a known junction or at a
// splice signal), may leave it for a lower one (an insertion), and may
// soft-clip either end. Diagonals come from seed hits and from known
// junctions, so the search costs (read length) x (diagonals)^2, not the
// area of a window.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/rescue_scoring.hpp"
#include "rescue/segment_junctions.hpp"

namespace quilm {

struct IntronLimits {
  int shortest = 10;
  int longest = 50000;
};

struct SplicedAlignment {
  std::int64_t position = 0;  // segment base of the first aligned read base
  int score = 0;
  int edit_distance = 0;  // mismatches and inserted and deleted bases
  int introns = 0;
  RescueKind kind = RescueKind::kMismatch;
  char intron_strand = '.';  // the splice signal's strand: '+', '-', '.' without introns
  std::string cigar;         // M, I, D, N and S operations
};

class SplicedAligner {
 public:
  // `segment` is the segment's bases; the junctions must outlive the aligner.
  // With `masked` (a run's -M1), lower-case segment bases match nothing.
  SplicedAligner(std::string_view segment, const SegmentJunctions& junctions, IntronLimits limits,
                 bool masked = false);

  // Adds the diagonals that known junctions reach from those given where
  // the read stops fitting them (twice, so that a read may cross a short
  // exon without a seed in it), sorts them and drops repeats; at most `cap`
  // in all.
  void extend_by_junctions(std::string_view read, std::vector<std::int64_t>& diagonals,
                           std::size_t cap) const;

  // Adds, for each diagonal given that an end of the read does not fit,
  // the diagonals up to kMaxIndel away that it fits: the read may hold an
  // insertion or deletion too near that end for a seed. Sorted, without
  // repeats, at most `cap` in all.
  void extend_by_indels(std::string_view read, std::vector<std::int64_t>& diagonals,
                        std::size_t cap) const;

  // Best alignment of `read` (as it is to lie on the segment) over the
  // diagonals, which must be sorted and distinct. False when none scores
  // at least minimum_rescue_score or lies inside the segment.
  bool align(std::string_view read, std::span<const std::int64_t> diagonals, SplicedAlignment& out);

  // The plain alignment of `read` on one diagonal when nothing could beat
  // it: every base inside the segment, no known junction within the read's
  // span, and at most one mismatch among the kShortAnchor + 2 bases at
  // either end. Leaving the diagonal would then cost a gap, a new intron or
  // a clip, more than one mismatch does, or trade a stretch of mostly
  // matching bases for one elsewhere that no seed showed. False, leaving
  // `out` alone, when that does not hold.
  bool align_ungapped(std::string_view read, std::int64_t diagonal, SplicedAlignment& out) const;

 private:
  struct Step {
    std::int32_t from_diagonal;  // -1: the path starts here
    std::int32_t from_position;
    std::uint8_t kind;
  };
  enum class Outcome { kFound, kNone, kShortNovelAnchor };
  void prepare(std::string_view read, std::span<const std::int64_t> diagonals);
  Outcome attempt(bool allow_novel, SplicedAlignment& out);
  std::size_t pair_base(int from, int to) const;
  void fill_intron_costs(int from, int to, bool allow_novel);
  void find_signals(int j);
  std::uint8_t donor_at(int i, int j) const;
  std::uint8_t acceptor_at(int i, int j) const;
  std::span<const SegmentJunction> junctions_leaving(int j);
  void add_intron_steps(int from, int to, bool allow_novel);
  void fill_substitutions();
  int run(int& end_position, int& end_diagonal);
  void trace(int end_position, int end_diagonal);
  Outcome describe(SplicedAlignment& out) const;
  void classify(SplicedAlignment& out) const;
  int substitution(char read_base, std::int64_t segment_position) const;
  static constexpr int kProbe = 6;  // read bases that show a read leaving a diagonal
  int mismatches(std::string_view read, std::int64_t d, int from, int to) const;
  bool leaves_at(std::string_view read, std::int64_t d, int i) const;
  static constexpr int kIndelProbe = 16;  // read bases at an end that show an indel
  static constexpr int kIndelAnchor = 9;  // read bases beyond an indel that place them
  bool fits(std::string_view read, std::int64_t d, bool head, int span, int allowed) const;
  bool enters_at(std::string_view read, std::int64_t d, int i) const;
  char signal_strand(std::int64_t first, std::int64_t last, int& cost) const;

  std::string_view segment_;
  const SegmentJunctions* junctions_;
  IntronLimits limits_;
  const std::array<std::uint8_t, 256>* reference_codes_;
  std::string_view read_;
  std::span<const std::int64_t> diagonal_;
  // Work areas sized by the largest read and diagonal count seen so far.
  int n_ = 0;
  int count_ = 0;
  std::vector<std::int32_t> matched_;  // (n + 1) x count: path ends with base i - 1 on j
  std::vector<Step> steps_;            // how the path stood before base i on j
  std::vector<std::int16_t> cost_;     // count x count x (n + 1): leaving j' for j at i
  std::vector<std::uint8_t> cost_kind_;
  std::vector<std::uint8_t> read_codes_;   // n: the read's base codes
  std::vector<std::int8_t> substitution_;  // count x n: read base i on diagonal j
  std::vector<bool> signals_found_;        // per diagonal, for the read at hand
  // Per diagonal, the codes of the segment bases d - 2 to d + n + 1, from
  // which the splice signals at each read position are read.
  std::vector<std::uint8_t> signal_codes_;
  std::vector<std::vector<int>> donor_positions_;  // per diagonal: donor codes a new intron may use
  std::vector<bool> junctions_found_;
  std::vector<std::span<const SegmentJunction>> junctions_leaving_;  // per diagonal
  // Steps across introns too long for a gap, by target diagonal (from
  // intron_start_[j]) and position: few per pair, unlike gap steps.
  struct IntronStep {
    int position;  // the read base the target diagonal takes next
    int from;
    int cost;
    std::uint8_t kind;
  };
  std::vector<IntronStep> intron_steps_;
  std::vector<std::size_t> intron_start_;   // count + 1
  std::vector<std::size_t> intron_cursor_;  // per diagonal, while the programme runs
  // For each diagonal, the diagonals a path may come from (some position
  // allows the step), with their rows of costs: count x count entries, the
  // first source_count_[j] of row j in use.
  struct Source {
    int from;
    int inserted;  // read bases an insertion from there takes: d(from) - d(to)
    int lowest;    // the first read position the gap may enter at
    std::int16_t cost;
    std::uint8_t kind;
    // With an intron as well: the cost and kind at each position instead.
    const std::int16_t* costs;
    const std::uint8_t* kinds;
  };
  Source gap_source(int from, int to, bool allow_novel);
  std::vector<Source> sources_;
  std::vector<int> source_count_;
  struct Block {
    std::int64_t diagonal;
    int begin, end;        // read bases [begin, end)
    std::uint8_t follows;  // the step that leads into the block
  };
  std::vector<Block> blocks_;
};

}  // namespace quilm
