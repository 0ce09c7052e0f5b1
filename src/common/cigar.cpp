#include "common/cigar.hpp"

namespace quilm {

std::int64_t cigar_reference_length(std::string_view cigar) {
  std::int64_t total = 0, number = 0;
  for (const char c : cigar) {
    if (c >= '0' && c <= '9') {
      number = number * 10 + (c - '0');
      continue;
    }
    if (c == 'M' || c == 'D' || c == 'N' || c == '=' || c == 'X') total += number;
    number = 0;
  }
  return total;
}

}  // namespace quilm
