#include "splice/splice_levels.hpp"

#include <algorithm>

#include "common/splice_record.hpp"

namespace quilm {

namespace {

struct PassContext {
  const SplitRead& read;
  const char* segment;
  int seed_length;
  int max_errors;
  LevelWork& work;
  OutputFile& out;
  int best_printed;  // fewest errors of any record written for this read
};

// One pass: the pairs of one list with hit sum `level` (those that the
// seed hits allow), in list order, evaluated on sequence q for one signal
// family. Pairs whose candidates share no cut point where both could cut are
// passed over: they would yield nothing.
void run_pass(PassContext& ctx, StrandPairs strand, std::string_view q, SignalFamily family,
              char strand_name) {
  const std::span<const SpliceCandidate> cands = strand.pairs.candidates();
  SpliceCut cut;
  for (const auto& [a, b] : ctx.work.level_pairs) {
    if (!strand.sites.may_cut(a, b, family)) continue;
    const std::int32_t first = cands[a].start;
    const std::int32_t second = cands[b].start;
    if (!evaluate_pair(q, ctx.segment + (first - 1), ctx.segment + (second - 1), family,
                       ctx.seed_length, ctx.max_errors, ctx.work.scratch, ctx.work.signals, cut))
      continue;
    write_splice_record(ctx.out, ctx.read.number, ctx.read.sequence, ctx.work.signals, strand_name,
                        cut.split, cut.errors, first - 1, second - 1);
    ctx.best_printed = std::min(ctx.best_printed, cut.errors);
  }
}

// The level's pairs of one strand, then its two passes.
void run_strand(PassContext& ctx, StrandPairs strand, int level, std::string_view q,
                SignalFamily first_family, SignalFamily second_family) {
  strand.pairs.pairs_at(level, strand.zones, &strand.sites, ctx.work.level_pairs);
  if (ctx.work.level_pairs.empty()) return;
  auto name = [](SignalFamily f) { return f == SignalFamily::kForward ? 'F' : 'R'; };
  run_pass(ctx, strand, q, first_family, name(first_family));
  run_pass(ctx, strand, q, second_family, name(second_family));
}

}  // namespace

int minimum_hit_sum(int seeds, int rem, int max_errors) {
  const int t = seeds - max_errors;
  // The overlapping last seed of a read with rem > 0 shares bases with its
  // predecessor, so one mismatch may cost both: one level more of slack.
  if (rem == 0) return t >= 2 ? t - 2 : 0;
  return t >= 3 ? t - 3 : 0;
}

void write_split_records(const SplitRead& read, const char* segment, StrandPairs forward,
                         StrandPairs reverse, int seed_length, int max_errors, LevelWork& work,
                         OutputFile& out) {
  const int floor = minimum_hit_sum(read.seeds, read.rem, max_errors);
  if ((forward.pairs.empty() && reverse.pairs.empty()) || floor >= read.seeds) return;
  PassContext ctx{read, segment, seed_length, max_errors, work, out, max_errors + 1};
  int level = read.seeds;
  int done = 0;  // levels completed before the current one
  do {
    if (!forward.pairs.empty())
      run_strand(ctx, forward, level, read.sequence, SignalFamily::kForward,
                 SignalFamily::kReverse);
    if (!reverse.pairs.empty())
      run_strand(ctx, reverse, level, read.reverse_complement, SignalFamily::kReverse,
                 SignalFamily::kForward);
    // Stop once a record beats the number of levels already given up.
    if (ctx.best_printed < done) break;
    --level;
    ++done;
  } while (floor < level);
}

}  // namespace quilm
