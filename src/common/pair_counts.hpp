// How the pairs of a paired run aligned, as the export counts them: written
// by quilm2sam into a small text file that the driver reads back for its
// closing summary, and printed by both in one layout.
#pragma once

#include <cstdio>
#include <string>

namespace quilm {

struct PairCounts {
  long pairs = 0;
  long concordant_once = 0;  // one concordant pair of hits
  long concordant_more = 0;  // several
  long discordant = 0;       // both mates aligned, no concordant pair
  long one_mate = 0;         // one mate aligned, the other not
  long none = 0;             // neither mate aligned
};

// One "<name>\t<count>\n" line per figure, in the order of the struct.
void write_pair_counts(const std::string& path, const PairCounts& counts);

// Throws InputError naming the file when a figure is missing or is not a
// count, or when the figures do not add up to the pairs.
PairCounts read_pair_counts(const std::string& path);

// "<n> pairs; of these:" and one indented line per class with its share.
void print_pair_counts(std::FILE* out, const PairCounts& counts);

}  // namespace quilm
