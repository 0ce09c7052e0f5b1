// indel_match_x: banded local alignment of a read against a window
// of segment bases, with a fixed band of 2E + 1 diagonals.
#pragma once

#include <cstdint>
#include <vector>

namespace quilm {

// read: n bytes; window: n + 2E bytes (bytes past the segment's end must be
// zero). band: work area, resized as needed and reused between calls.
// Returns 1 and sets errors (0..E) when the read fits within E errors, else
// -1 (errors untouched). Gives up after a row whose best cell makes more
// than E errors unavoidable.
int indel_match_x(const char* read, const char* window, int n, int max_errors,
                  std::vector<std::int32_t>& band, int& errors);

}  // namespace quilm
