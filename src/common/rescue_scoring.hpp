// The score that ranks rescued alignments, and the kinds of alignment the
// rescue stage reports. One scale serves the worker's search, the driver's
// choice between a rescued alignment and a read's earlier hits, and the
// export's: an alignment is replaced only by one with a higher score.
#pragma once

#include <string_view>

namespace quilm {

struct RescueScore {
  static constexpr int kMatch = 1;
  static constexpr int kMismatch = -4;
  static constexpr int kUnknownBase = -1;  // an N (or other letter) in read or reference
  static constexpr int kGapOpen = 6;       // an insertion or deletion of k bases costs 6 + k
  static constexpr int kGapExtend = 1;
  static constexpr int kKnownIntron = 2;         // a junction of the run or of the annotation
  static constexpr int kIntronGtAg = 10;         // a new junction with the GT-AG signal
  static constexpr int kIntronOtherSignal = 14;  // GC-AG or AT-AC
  static constexpr int kClip = 5;                // per soft-clipped end
};

// Longest insertion or deletion the alignment considers, in bases.
inline constexpr int kMaxIndel = 12;
// A new junction needs this many aligned bases on either side of it.
inline constexpr int kMinNovelAnchor = 10;
// An exon part of at most this many bases at either end of a read marks a
// short anchor.
inline constexpr int kShortAnchor = 14;

// The lowest score worth reporting for a read of n bases: half of a perfect
// contiguous hit (50 bases with three mismatches and a 2-base indel still
// reach it).
inline int minimum_rescue_score(int read_length) {
  return (read_length + 1) / 2;
}

// The score of an earlier hit of the run with `errors` mismatches: a
// contiguous hit of n - errors matches, a split hit the same less the cost
// of a known junction.
inline int earlier_hit_score(int read_length, int errors, bool split) {
  return (read_length - errors) * RescueScore::kMatch + errors * RescueScore::kMismatch -
         (split ? RescueScore::kKnownIntron : 0);
}

// What a rescued alignment has that the run's hits could not hold, the
// first that applies: two or more introns, an insertion or deletion, an
// intron with a short anchor, a soft-clipped end, one intron, only
// mismatches.
enum class RescueKind { kIntrons, kIndel, kShortAnchor, kClipped, kSplice, kMismatch };
inline constexpr int kRescueKinds = 6;

inline constexpr std::string_view kRescueKindNames[kRescueKinds] = {
    "introns", "indel", "anchor", "clipped", "splice", "mismatch"};

inline std::string_view rescue_kind_name(RescueKind kind) {
  return kRescueKindNames[static_cast<int>(kind)];
}

// The kind named, or false for a name that is none.
bool parse_rescue_kind(std::string_view name, RescueKind& kind);

}  // namespace quilm
