// Sequences for tests: random bases from a seeded generator, and the reverse
// complement of a read as the programs compute it.
#pragma once

#include <cstdint>
#include <random>
#include <string>

#include "common/seed_code.hpp"

namespace quilm::test {

// `n` bases, each alphabet[rng() % 4].
inline std::string random_bases(std::mt19937& rng, std::size_t n, const char* alphabet = "ACGT") {
  std::string s(n, 'A');
  for (char& c : s) c = alphabet[rng() % 4];
  return s;
}

// The same from a generator of its own: the same seed gives the same bases.
inline std::string random_bases(std::size_t n, std::uint32_t seed) {
  std::mt19937 rng(seed);
  return random_bases(rng, n);
}

// Bases of a linear congruential generator: the export's tests place
// indels and mismatches at spots where these bases leave no ambiguity.
inline std::string congruential_bases(std::size_t n, std::uint32_t seed) {
  std::string s(n, 'A');
  for (char& c : s) {
    seed = seed * 1103515245u + 12345u;
    c = "ACGT"[(seed >> 16) & 3];
  }
  return s;
}

inline std::string reverse_complement_of(const std::string& s) {
  std::string out;
  quilm::reverse_complement(s, out);
  return out;
}

}  // namespace quilm::test
