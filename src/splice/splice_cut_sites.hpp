// Where each candidate of a sequence could give the first or the second part
// of an accepted cut: a quick test that passes over the pairs that cannot
// yield a record before their cut points are scanned.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "splice/splice_candidates.hpp"
#include "splice/splice_cut.hpp"

namespace quilm {

// A cut a of a pair is accepted only where c <= a < L - c (and 1 <= a <=
// L - 3), the first part q[0..a] keeps within max_errors and a tenth of a
// mismatches, the second part q[a+1..] within max_errors and a tenth of
// L - a, and a signal joins the first window's donor behind a with the second
// window's acceptor ending at a. Each condition but the sum of both parts'
// errors belongs to one candidate of the pair, so each candidate gets, per
// family and per signal group (donors that share their acceptors), the set
// of cut points where it meets its own conditions as a first part and as a
// second part. A pair whose sets share no cut point yields no record. The
// sets are made when a candidate is first asked about, and kept for the read.
class CutSites {
 public:
  void reset(std::string_view q, const char* segment, std::span<const SpliceCandidate> candidates,
             int seed_length, int max_errors);

  // False when candidate a cannot give the first part (b the second part)
  // of an accepted cut of either family.
  bool may_open(std::uint32_t a) { return first_sites(a) != nullptr; }
  bool may_close(std::uint32_t b) { return second_sites(b) != nullptr; }
  // False when the pair has no accepted cut in either family.
  bool may_cut(std::uint32_t a, std::uint32_t b);
  // False when the pair of first part a and second part b has no accepted
  // cut in the family; true when it may have one.
  bool may_cut(std::uint32_t a, std::uint32_t b, SignalFamily family);

 private:
  // Four masks per part (two families, two signal groups each), `words_`
  // words each; bit k stands for cut point lo_ + k.
  static constexpr std::int32_t kUnknown = -1;
  static constexpr std::int32_t kNone = -2;  // no cut point at all
  const std::uint64_t* first_sites(std::uint32_t a);
  const std::uint64_t* second_sites(std::uint32_t b);
  std::int32_t store(const std::uint64_t* masks);

  std::string_view q_;
  const char* segment_ = nullptr;
  std::span<const SpliceCandidate> candidates_;
  int max_errors_ = 0;
  int lo_ = 0;  // lowest and highest cut point of the sequence
  int hi_ = -1;
  std::size_t words_ = 0;
  std::vector<std::int32_t> first_slot_;  // per candidate: its masks in sites_, or kUnknown/kNone
  std::vector<std::int32_t> second_slot_;
  std::vector<std::uint64_t> sites_;
  std::vector<std::uint64_t> scratch_;
};

}  // namespace quilm
