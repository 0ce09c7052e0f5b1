#include "worker/indel_match.hpp"

#include <algorithm>

namespace quilm {

int indel_match_x(const char* read, const char* window, int n, int max_errors,
                  std::vector<std::int32_t>& band, int& errors) {
  if (n <= 0 || max_errors < 0) return -1;
  const int W = 2 * max_errors;
  const std::size_t width = static_cast<std::size_t>(W) + 1;
  // Two rows suffice: row i reads only row i - 1 and its own cells to the left.
  if (band.size() < 2 * width) band.resize(2 * width);
  std::int32_t* prev = band.data();
  std::int32_t* cur = band.data() + width;

  // Row 0.
  std::int32_t m = 0;
  for (int j = 0; j <= W; ++j) {
    std::int32_t v = read[0] == window[j] ? 1 : 0;
    if (j > 0) v = std::max(v, prev[j - 1] - 1);
    prev[j] = v;
    m = std::max(m, v);
  }
  // (row 0 never gives up: 0 - W > M is impossible)
  for (int i = 1; i < n; ++i) {
    const char r = read[i];
    const char* w = window + i;
    m = 0;
    for (int j = 0; j <= W; ++j) {
      std::int32_t v = prev[j] + (r == w[j] ? 1 : -1);
      if (v < 0) v = 0;
      if (j > 0) v = std::max(v, cur[j - 1] - 1);
      if (j < W) v = std::max(v, prev[j + 1] - 1);
      cur[j] = v;
      m = std::max(m, v);
    }
    if (i - W > m) return -1;
    std::swap(prev, cur);
  }
  errors = (n - m) / 2;
  return 1;
}

}  // namespace quilm
