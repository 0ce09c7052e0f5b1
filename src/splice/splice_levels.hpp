// Evaluation of the pair lists of one read, level by level from the highest
// hit sum down, and the writing of its splice result records.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/output_file.hpp"
#include "splice/splice_cut.hpp"
#include "splice/splice_cut_sites.hpp"
#include "splice/splice_pairs.hpp"
#include "splice/splice_seed_zones.hpp"

namespace quilm {

// The lowest hit sum that a pair may have to be evaluated for a read of
// `seeds` seeds, of which the last overlaps its predecessor when rem > 0.
int minimum_hit_sum(int seeds, int rem, int max_errors);

struct SplitRead {
  int number = 0;
  std::string_view sequence;            // as read; written into every record
  std::string_view reverse_complement;  // the sequence of the reverse pairs
  int seeds = 0;
  int rem = 0;
};

// The pairs of one strand's candidates, what their seed hits allow and
// where those candidates can cut.
struct StrandPairs {
  PairList& pairs;
  const SeedZones& zones;
  CutSites& sites;
};

// Work areas of the evaluation, reused from read to read.
struct LevelWork {
  CutScratch scratch;
  std::string signals;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> level_pairs;
};

// Runs the levels over the forward pairs (of the read) and the reverse pairs
// (of its reverse complement) and writes one record per accepted pair.
void write_split_records(const SplitRead& read, const char* segment, StrandPairs forward,
                         StrandPairs reverse, int seed_length, int max_errors, LevelWork& work,
                         OutputFile& out);

}  // namespace quilm
