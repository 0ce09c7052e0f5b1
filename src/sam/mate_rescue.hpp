// Mate rescue: a mate without a hit searched where a concordant mate of its
// partner's hit would lie. Only the accurate mode asks for it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sam/mate_pairing.hpp"
#include "sam/read_placement.hpp"
#include "sam/reference_genome.hpp"

namespace quilm::sam {

// How far past its partner's 5' end a rescued mate may end: a fragment of
// up to this many bases. Mates with an intron between them are left to the
// rescue stage's spliced alignment.
inline constexpr std::int64_t kMateRescueWindow = 1000;

// Seed length of the search: at least one seed of a 100-base mate with six
// errors is left whole.
inline constexpr std::size_t kMateRescueSeed = 12;

struct MateRescueWork {
  std::string window;
  std::vector<std::int64_t> diagonals;
  std::vector<int> support;  // seeds on each diagonal
  std::vector<std::uint64_t> read_seeds;
  Placement trial;
};

// Searches the mate `read` (as in the dataset) near `partner` on
// `chromosome`: on the opposite strand, facing it, within
// kMateRescueWindow bases of the partner's 5' end. Seeds of
// kMateRescueSeed bases at every kMateRescueSeed-th read offset propose
// placements; each is scored ungapped and, when none fits, the two with
// the most seeds (at least two) by a banded alignment as for the indel pass. The placement with the
// fewest errors wins, if it has at most 0.05 x length + 1.5 (a hit of high quality), is concordant
// with the partner, and no other placement has as few errors (a tie leaves the mate unmapped: its
// place would be a guess). Fills `out` (edit distance and MD included) and returns its errors, or
// -1.
int rescue_mate(std::string_view read, const MateHit& partner, const Chromosome& chromosome,
                std::int64_t max_insert, MateRescueWork& work, PlacementWork& placement_work,
                Placement& out);

}  // namespace quilm::sam
