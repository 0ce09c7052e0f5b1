// The first piece of a harness input that drives a whole routine: a line of
// small integers (run sizes and toggles), each clamped to a range the harness
// names, so that tables stay small and every value stays reachable.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace quilm::fuzz {

// The whitespace-separated integers of `line` (missing ones are 0), clamped
// pairwise to [low, high] from `ranges`.
inline std::vector<int> read_params(std::string_view line,
                                    const std::vector<std::pair<int, int>>& ranges) {
  const std::string text(line);
  const char* p = text.c_str();
  std::vector<int> values;
  for (const auto& [low, high] : ranges) {
    char* end = nullptr;
    const long v = std::strtol(p, &end, 10);
    p = end;
    values.push_back(static_cast<int>(std::clamp<long>(v, low, high)));
  }
  return values;
}

}  // namespace quilm::fuzz
