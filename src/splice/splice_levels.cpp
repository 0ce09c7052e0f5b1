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

// One pass: the pairs of one list with hit sum `level`, in list order,
// evaluated on sequence q for one signal family. Pairs whose candidates
// share no cut point where both could cut are passed over: they would
// yield nothing.
void run_pass(PassContext& ctx, StrandPairs strand, int level, std::string_view q,
              SignalFamily family, char strand_name) {
  const std::span<const SpliceCandidate> cands = strand.pairs.candidates();
  SpliceCut cut;
  strand.pairs.visit_level(
      level, [&](std::uint32_t a) { return strand.sites.may_open(a, family); },
      [&](std::uint32_t a, std::uint32_t b) {
        if (!strand.sites.may_cut(a, b, family)) return;
        const std::int32_t first = cands[a].start;
        const std::int32_t second = cands[b].start;
        if (!evaluate_pair(q, ctx.segment + (first - 1), ctx.segment + (second - 1), family,
                           ctx.seed_length, ctx.max_errors, ctx.work.scratch, ctx.work.signals,
                           cut))
          return;
        write_splice_record(ctx.out, ctx.read.number, ctx.read.sequence, ctx.work.signals,
                            strand_name, cut.split, cut.errors, first - 1, second - 1);
        ctx.best_printed = std::min(ctx.best_printed, cut.errors);
      });
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
    if (!forward.pairs.empty()) {
      run_pass(ctx, forward, level, read.sequence, SignalFamily::kForward, 'F');
      run_pass(ctx, forward, level, read.sequence, SignalFamily::kReverse, 'R');
    }
    if (!reverse.pairs.empty()) {
      run_pass(ctx, reverse, level, read.reverse_complement, SignalFamily::kReverse, 'R');
      run_pass(ctx, reverse, level, read.reverse_complement, SignalFamily::kForward, 'F');
    }
    // Stop once a record beats the number of levels already given up.
    if (ctx.best_printed < done) break;
    --level;
    ++done;
  } while (floor < level);
}

}  // namespace quilm
