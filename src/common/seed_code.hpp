// Two-bit base codes of the seed keys (A = 0, T = 1, C = 2, G = 3; not
// alphabetical) and the reverse complement of a read.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace quilm {

// Code of each byte: 0..3 for upper-case A, T, C, G, -1 for anything else
// (N, lower-case masked bases, ...), which belongs to no seed.
inline constexpr std::array<std::int8_t, 256> kBaseCode = [] {
  std::array<std::int8_t, 256> t{};
  for (auto& v : t) v = -1;
  t['A'] = 0;
  t['T'] = 1;
  t['C'] = 2;
  t['G'] = 3;
  return t;
}();

inline int base_code(char c) {
  return kBaseCode[static_cast<unsigned char>(c)];
}

// Reversed, then A<->T and C<->G; every other byte unchanged.
void reverse_complement(std::string_view read, std::string& out);

}  // namespace quilm
