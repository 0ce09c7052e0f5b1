#include "sam/mate_rescue.hpp"

#include <htslib/sam.h>

#include <algorithm>

#include "common/seed_code.hpp"
#include "sam/banded_alignment.hpp"

namespace quilm::sam {

namespace {

// The reference range a facing mate lies in: after a forward partner's
// start, before a reverse partner's end.
struct Range {
  std::int64_t start = 0;
  std::int64_t end = 0;
};

Range search_range(const MateHit& partner, const Chromosome& chromosome, std::int64_t reach) {
  Range r = partner.reverse ? Range{partner.end - reach, partner.end}
                            : Range{partner.pos, partner.pos + reach};
  r.start = std::max<std::int64_t>(r.start, 0);
  r.end = std::min(r.end, chromosome.length);
  return r;
}

constexpr std::uint32_t kSeedMask = (1u << (2 * kMateRescueSeed)) - 1;

// The code of the seed at `offset`, or false when it holds an N.
bool seed_code_at(std::string_view sequence, std::size_t offset, std::uint32_t& code) {
  code = 0;
  for (std::size_t i = offset; i < offset + kMateRescueSeed; ++i) {
    const int b = base_code(sequence[i]);
    if (b < 0) return false;
    code = code << 2 | static_cast<std::uint32_t>(b);
  }
  return true;
}

// The read's seeds as (code << 32 | read offset), sorted, and a filter of
// their low code bits.
std::uint64_t read_seeds(std::string_view sequence, std::vector<std::uint64_t>& seeds) {
  seeds.clear();
  std::uint64_t filter = 0;
  for (std::size_t offset = 0; offset + kMateRescueSeed <= sequence.size();
       offset += kMateRescueSeed) {
    std::uint32_t code = 0;
    if (!seed_code_at(sequence, offset, code)) continue;
    seeds.push_back(std::uint64_t{code} << 32 | offset);
    filter |= std::uint64_t{1} << (code & 63);
  }
  std::sort(seeds.begin(), seeds.end());
  return filter;
}

// Diagonals (reference start of the whole sequence) where a seed of the
// sequence lies in the window, each once with the number of seeds on it,
// in ascending order. One pass over the window: the code of every window
// position is looked up among the read's few seeds.
void seed_diagonals(std::string_view sequence, std::string_view window, std::int64_t start,
                    MateRescueWork& work) {
  const std::uint64_t filter = read_seeds(sequence, work.read_seeds);
  work.diagonals.clear();
  std::uint32_t code = 0;
  std::size_t valid = 0;  // bases since the last N
  for (std::size_t i = 0; i < window.size(); ++i) {
    const int b = base_code(window[i]);
    valid = b >= 0 ? valid + 1 : 0;
    code = (code << 2 | static_cast<std::uint32_t>(b & 3)) & kSeedMask;
    if (valid < kMateRescueSeed || !(filter >> (code & 63) & 1)) continue;
    const std::uint64_t key = std::uint64_t{code} << 32;
    const auto at = static_cast<std::int64_t>(i + 1 - kMateRescueSeed);
    for (auto s = std::lower_bound(work.read_seeds.begin(), work.read_seeds.end(), key);
         s != work.read_seeds.end() && (*s >> 32) == code; ++s)
      work.diagonals.push_back(start + at - static_cast<std::int64_t>(*s & 0xffffffffu));
  }
  std::sort(work.diagonals.begin(), work.diagonals.end());
  work.support.clear();
  std::size_t kept = 0;
  for (std::size_t i = 0; i < work.diagonals.size(); ++i) {
    if (kept > 0 && work.diagonals[kept - 1] == work.diagonals[i]) {
      ++work.support[kept - 1];
      continue;
    }
    work.diagonals[kept++] = work.diagonals[i];
    work.support.push_back(1);
  }
  work.diagonals.resize(kept);
}

// Mismatches of the ungapped placement, or limit + 1 once there are more
// than `limit` (or it leaves the chromosome).
int mismatches_at(std::string_view sequence, const Chromosome& chromosome, std::int64_t position,
                  int limit, PlacementWork& work) {
  if (position < 0 || position + static_cast<std::int64_t>(sequence.size()) > chromosome.length)
    return limit + 1;
  const std::string_view ref = window_bases(chromosome, position, sequence.size(), work);
  int count = 0;
  for (std::size_t i = 0; i < sequence.size() && count <= limit; ++i)
    count += !same_base(sequence[i], ref[i]);
  return count;
}

// Keeps the trial placement when it has the fewest errors so far and is
// concordant with the partner; notes a tie with a different one.
struct BestPlacement {
  int errors = kNoAlignment;
  bool tie = false;
};

void consider(const Placement& trial, int errors, const MateHit& partner, std::int64_t max_insert,
              BestPlacement& best, Placement& out) {
  if (errors > best.errors) return;
  const MateHit found{partner.tid, trial.position, trial.position + reference_length(trial.cigar),
                      trial.reverse, errors};
  if (concordant_distance(found, partner, max_insert) < 0) return;
  if (errors < best.errors) {
    out = trial;
    best = {errors, false};
  } else if (trial.position != out.position || trial.cigar != out.cigar) {
    best.tie = true;
  }
}

// Diagonals tried with a banded alignment when none fits ungapped: those
// with two seeds or more, the best supported first (the lower on a tie).
constexpr int kBandedDiagonals = 2;

void try_banded(const Chromosome& chromosome, int limit, const MateHit& partner,
                std::int64_t max_insert, MateRescueWork& work, PlacementWork& placement_work,
                BestPlacement& best, Placement& out) {
  for (int round = 0; round < kBandedDiagonals; ++round) {
    std::size_t pick = work.diagonals.size();
    for (std::size_t i = 0; i < work.diagonals.size(); ++i)
      if (work.support[i] >= 2 &&
          (pick == work.diagonals.size() || work.support[i] > work.support[pick]))
        pick = i;
    if (pick == work.diagonals.size()) return;
    work.support[pick] = 0;
    const int errors = align_in_band(work.trial.sequence, chromosome, work.diagonals[pick],
                                     kIndelBand, placement_work, work.trial);
    if (errors <= limit) consider(work.trial, errors, partner, max_insert, best, out);
  }
}

}  // namespace

int rescue_mate(std::string_view read, const MateHit& partner, const Chromosome& chromosome,
                std::int64_t max_insert, MateRescueWork& work, PlacementWork& placement_work,
                Placement& out) {
  if (read.size() < kMateRescueSeed) return -1;
  const int limit = static_cast<int>(0.05 * static_cast<double>(read.size()) + 1.5);
  const Range range = search_range(partner, chromosome, std::min(kMateRescueWindow, max_insert));
  if (range.end - range.start < static_cast<std::int64_t>(read.size())) return -1;
  Placement& trial = work.trial;
  upper_case(read, placement_work.upper);
  trial.reverse = !partner.reverse;
  if (trial.reverse)
    reverse_complement(placement_work.upper, trial.sequence);
  else
    trial.sequence = placement_work.upper;
  chromosome.fetch(range.start, static_cast<std::size_t>(range.end - range.start), work.window);
  seed_diagonals(trial.sequence, work.window, range.start, work);
  BestPlacement best;
  for (const std::int64_t diagonal : work.diagonals) {
    const int errors = mismatches_at(trial.sequence, chromosome, diagonal, limit, placement_work);
    if (errors > limit) continue;
    place_ungapped(diagonal, trial);
    consider(trial, errors, partner, max_insert, best, out);
  }
  if (best.errors > limit)
    try_banded(chromosome, limit, partner, max_insert, work, placement_work, best, out);
  if (best.errors > limit || best.tie) return -1;
  describe_against_reference(chromosome, placement_work, out);
  return best.errors;
}

}  // namespace quilm::sam
