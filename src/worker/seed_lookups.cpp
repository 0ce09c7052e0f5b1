#include "worker/seed_lookups.hpp"

#include "worker/seed_index.hpp"

namespace quilm {

void reverse_seed_keys(std::span<const std::int64_t> forward, std::string_view reverse,
                       int seed_length, std::vector<std::int64_t>& out) {
  if (seed_length > 0 && reverse.size() % static_cast<std::size_t>(seed_length) == 0) {
    const std::size_t seeds = forward.size();
    out.resize(seeds);
    for (std::size_t i = 0; i < seeds; ++i)
      out[i] = reverse_complement_key(forward[seeds - 1 - i], seed_length);
    return;
  }
  int rem = 0;
  transnum_x(reverse, seed_length, out, rem);
}

}  // namespace quilm
