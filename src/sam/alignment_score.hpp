// The AS:i score of a record: the rescue stage's scale applied to the
// alignment the record describes, so that one alignment scores the same
// whether the cascade, the splice stage or the rescue stage found it.
#pragma once

#include "sam/read_placement.hpp"

namespace quilm::sam {

// From the CIGAR, MD and aligned sequence of `placement`: +1 a matching
// base, -4 a mismatch (-1 where read or reference holds an N), -(6 + k) an
// insertion or deletion of k bases, -2 an intron (the run's junctions are
// known ones), -5 a soft-clipped end.
int alignment_score(const Placement& placement);

}  // namespace quilm::sam
