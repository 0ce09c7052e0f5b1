// What the seed hits of two candidates say about a cut between them, before
// any reference base is read.
//
// A seed that casts a vote (no N in it) but does not place a candidate holds
// at least one mismatch at that candidate. The read's seeds are disjoint but
// for the last one, which overlaps its predecessor when the read length is no
// multiple of the seed length; two missed overlapping seeds may share one
// mismatch. So at a cut a, the first part q[0..a] has at least as many
// mismatches as the first candidate misses seeds lying wholly in it (one
// less for the overlapping pair), and the second part likewise. An accepted
// cut keeps both parts together within max_errors and each within a tenth of
// its length, so a pair whose seed hits allow no such cut yields no record.
// The cut points fall into zones between seed ends, in each of which the
// seeds wholly on either side stay the same.
#pragma once

#include <cstdint>
#include <vector>

namespace quilm {

class SeedZones {
 public:
  static constexpr int kMaxErrors = 7;  // above this, nothing is ruled out

  // Where a candidate with a given set of seed hits can lie on either side
  // of a cut: bit z of first[k] is set when, in zone z, the candidate as a
  // first part holds at most k mismatches' worth of missed seeds and keeps
  // within a tenth of the zone's longest first part; second[k] likewise as a
  // second part.
  struct Profile {
    std::uint64_t first[kMaxErrors + 1];
    std::uint64_t second[kMaxErrors + 1];
  };

  // For a sequence of `length` bases with `seeds` seeds of seed_length (the
  // last ending at the sequence's end); voting: bit j set when seed j casts
  // votes. Cut points run from lo to hi. With more than 64 seeds nothing is
  // ruled out.
  void reset(int length, int seed_length, int seeds, std::uint64_t voting, int max_errors, int lo,
             int hi);

  // False when no pair whose first part has hits_first hits and whose second
  // part has hits_second can have an accepted cut, wherever its hits lie.
  bool split_possible(int hits_first, int hits_second) const;
  // False when the pair with these seed hits (bit j: seed j places the
  // candidate) can have no accepted cut.
  bool pair_possible(std::uint64_t first, std::uint64_t second) const;

  // The same test through the profiles of the two candidates' seed hits
  // (with the tenth of each part taken at its own best cut of the zone).
  Profile profile(std::uint64_t hits) const;
  bool pair_possible(const Profile& first, const Profile& second) const;
  // False when nothing is ruled out: more than 64 seeds or zones, or more
  // than kMaxErrors errors allowed.
  bool rules_out() const { return rules_out_; }

 private:
  struct Zone {
    int from, to;          // cut points from .. to
    std::uint64_t before;  // voting seeds wholly in the first part
    std::uint64_t after;   // voting seeds wholly in the second part
  };
  int misses(std::uint64_t side, std::uint64_t hits) const;
  bool fits(const Zone& z, int first_misses, int second_misses) const;

  std::vector<Zone> zones_;
  std::uint64_t overlap_ = 0;  // the last two seeds when they overlap and both vote
  int length_ = 0;
  int max_errors_ = 0;
  bool rules_out_ = false;  // false: every pair is possible
};

}  // namespace quilm
