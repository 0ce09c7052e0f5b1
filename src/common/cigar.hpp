// CIGAR strings as the text records hold them ("5S10M200N4M").
#pragma once

#include <cstdint>
#include <string_view>

namespace quilm {

// Reference bases a CIGAR covers (M, D, N, = and X operations).
std::int64_t cigar_reference_length(std::string_view cigar);

}  // namespace quilm
