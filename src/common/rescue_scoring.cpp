#include "common/rescue_scoring.hpp"

namespace quilm {

bool parse_rescue_kind(std::string_view name, RescueKind& kind) {
  for (int k = 0; k < kRescueKinds; ++k) {
    if (kRescueKindNames[k] != name) continue;
    kind = static_cast<RescueKind>(k);
    return true;
  }
  return false;
}

}  // namespace quilm
