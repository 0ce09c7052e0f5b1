// The seed lengths of the mapping cascade and which seed index a worker
// builds for each of them.
#pragma once

namespace quilm {

// The cycles of the cascade, longest seed first; the splice stage takes one
// of the same lengths.
inline constexpr int kCascadeSeeds[] = {14, 12, 10, 8, 6};

// The lengths a seed index can be built for (keys of 2 bits a base).
inline constexpr int kShortestSeed = 6;
inline constexpr int kLongestSeed = 14;

bool is_cascade_seed(int seed_length);
bool is_indexable_seed(int seed_length);

// Throws UsageError "seed length <n> is not one of 14, 12, 10, 8, 6".
void require_cascade_seed(int seed_length);
// Throws UsageError "seed length <n> is not between 6 and 14".
void require_indexable_seed(int seed_length);

// The index that maps a segment: the reduced one for seed 14 with
// memory_reduction_toggle 1, the full one for seeds up to 13 or with the
// toggle 0, and none otherwise (seed 14 with any other toggle value maps
// nothing and writes no result file).
enum class IndexVariant { kFull, kReduced, kNone };
IndexVariant index_variant(int seed_length, int memory_reduction_toggle);

}  // namespace quilm
