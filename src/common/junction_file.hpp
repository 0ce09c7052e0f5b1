// Files of known junctions, such as "rescue_junctions.txt", the junctions
// the driver hands the rescue workers: "<chromosome>\t<first>\t<last>\t<strand>\n",
// the 1-based first and last intron base on the chromosome.
#pragma once

#include <compare>
#include <cstdint>
#include <string>
#include <vector>

namespace quilm {

struct ChromosomeJunction {
  std::string chromosome;
  std::int64_t first = 0;  // 1-based first intron base
  std::int64_t last = 0;   // 1-based last intron base
  char strand = '.';
  friend auto operator<=>(const ChromosomeJunction&, const ChromosomeJunction&) = default;
};

void write_junction_file(const std::string& path, const std::vector<ChromosomeJunction>& junctions);
// Throws InputError naming the file and line for a malformed line.
std::vector<ChromosomeJunction> read_junction_file(const std::string& path);

}  // namespace quilm
