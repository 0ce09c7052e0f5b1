#include "common/seed_lengths.hpp"

#include <string>

#include "common/errors.hpp"

namespace quilm {

bool is_cascade_seed(int seed_length) {
  for (int s : kCascadeSeeds)
    if (s == seed_length) return true;
  return false;
}

bool is_indexable_seed(int seed_length) {
  return seed_length >= kShortestSeed && seed_length <= kLongestSeed;
}

void require_cascade_seed(int seed_length) {
  if (!is_cascade_seed(seed_length))
    throw UsageError("seed length " + std::to_string(seed_length) +
                     " is not one of 14, 12, 10, 8, 6");
}

void require_indexable_seed(int seed_length) {
  if (!is_indexable_seed(seed_length))
    throw UsageError("seed length " + std::to_string(seed_length) + " is not between " +
                     std::to_string(kShortestSeed) + " and " + std::to_string(kLongestSeed));
}

IndexVariant index_variant(int seed_length, int memory_reduction_toggle) {
  if (seed_length == 14 && memory_reduction_toggle == 1) return IndexVariant::kReduced;
  if (seed_length <= 13 || memory_reduction_toggle == 0) return IndexVariant::kFull;
  return IndexVariant::kNone;
}

}  // namespace quilm
