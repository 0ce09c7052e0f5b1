// Small genomes with introns placed by hand, and the reads that span them.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <string_view>

#include "common/seed_code.hpp"
#include "support/sequences.hpp"

namespace quilm::test {
// Test files of several folders share one test program: the inline namespace
// keeps these helpers apart from same-named ones of the other folders.
inline namespace splice_data {

// Writes the intron's first two bases (donor) and last two (acceptor) into
// the genome; the intron covers 0-based offsets at .. at + length - 1.
inline void place_intron(std::string& genome, std::size_t at, std::size_t length,
                         std::string_view donor, std::string_view acceptor) {
  genome.replace(at, 2, donor);
  genome.replace(at + length - 2, 2, acceptor);
}

// The spliced sequence: `left` bases ending right before the intron, then
// `right` bases from its end.
inline std::string junction_read(const std::string& genome, std::size_t at, std::size_t length,
                                 std::size_t left, std::size_t right) {
  return genome.substr(at - left, left) + genome.substr(at + length, right);
}

}  // namespace splice_data
}  // namespace quilm::test
