// What the rescue stage did, for the closing summary.
#pragma once

#include <array>

#include "common/rescue_scoring.hpp"

namespace quilm {

struct RescueCounts {
  long tried = 0;         // reads handed to the workers
  long rescued = 0;       // reads with an alignment better than their earlier hits
  long was_unmapped = 0;  // of those, reads without an earlier hit
  std::array<long, kRescueKinds> by_kind{};
};

}  // namespace quilm
