// Glocal edit-distance alignment in a band of diagonals around a placement.
#pragma once

#include <cstdint>
#include <string_view>

#include "sam/read_placement.hpp"
#include "sam/reference_genome.hpp"

namespace quilm::sam {

// Glocal edit-distance alignment of `sequence` in the diagonals within
// `band` of the placement at `position`: every base of the sequence aligned,
// the reference ends free. Fills position and cigar and returns the edit
// distance; returns kNoAlignment, leaving `out` alone, when the band holds no
// alignment inside the chromosome.
int align_in_band(std::string_view sequence, const Chromosome& chromosome, std::int64_t position,
                  int band, PlacementWork& work, Placement& out);

}  // namespace quilm::sam
