#include "sam/banded_alignment.hpp"

#include <htslib/sam.h>

namespace quilm::sam {

namespace {

constexpr std::int32_t kUnreachable = kNoAlignment;
enum Step : std::uint8_t { kDiagonal, kInsertion, kDeletion };

// The band of one alignment: cell (i, k) stands for read prefix i against
// window prefix j = i + offset + k - band, window = reference[start, end).
struct Band {
  std::int64_t start = 0;
  std::int64_t end = 0;
  std::int64_t offset = 0;  // diagonal of the ungapped placement
  int band = 0;
  int width = 0;  // 2 * band + 1 cells per row

  std::int64_t column(std::size_t i, int k) const {
    return static_cast<std::int64_t>(i) + offset + k - band;
  }
  bool valid(std::int64_t j) const { return j >= 0 && j <= end - start; }
};

void fill_band(std::string_view seq, const char* window, const Band& b, std::int32_t* cost) {
  for (int k = 0; k < b.width; ++k) cost[k] = b.valid(b.column(0, k)) ? 0 : kUnreachable;
  for (std::size_t i = 1; i <= seq.size(); ++i) {
    const std::int32_t* up = cost + (i - 1) * b.width;
    std::int32_t* row = cost + i * b.width;
    for (int k = 0; k < b.width; ++k) {
      const std::int64_t j = b.column(i, k);
      std::int32_t best = kUnreachable;
      if (b.valid(j)) {
        if (j >= 1 && up[k] < kUnreachable) best = up[k] + !same_base(seq[i - 1], window[j - 1]);
        if (k + 1 < b.width && up[k + 1] + 1 < best) best = up[k + 1] + 1;
        if (k > 0 && row[k - 1] + 1 < best) best = row[k - 1] + 1;
      }
      row[k] = best;
    }
  }
}

// Walks back from the chosen end; ties prefer a match, so gaps go as far
// left as they can.
void trace_back(std::string_view seq, const char* window, const Band& b, int k, PlacementWork& work,
                Placement& out) {
  const std::int32_t* cost = work.band.data();
  work.ops.clear();
  std::size_t i = seq.size();
  while (i > 0) {
    const std::int32_t here = cost[i * b.width + k];
    const std::int32_t* up = cost + (i - 1) * b.width;
    const std::int64_t j = b.column(i, k);
    if (j >= 1 && up[k] + !same_base(seq[i - 1], window[j - 1]) == here) {
      work.ops.push_back(kDiagonal);
      --i;
    } else if (k + 1 < b.width && up[k + 1] + 1 == here) {
      work.ops.push_back(kInsertion);
      --i;
      ++k;
    } else {
      work.ops.push_back(kDeletion);
      --k;
    }
  }
  out.position = b.start + b.column(0, k);
  out.cigar.clear();
  constexpr std::uint32_t kOp[] = {BAM_CMATCH, BAM_CINS, BAM_CDEL};
  for (auto step = work.ops.rbegin(); step != work.ops.rend(); ++step) {
    const std::uint32_t op = kOp[*step];
    if (!out.cigar.empty() && (out.cigar.back() & BAM_CIGAR_MASK) == op)
      out.cigar.back() += 1u << BAM_CIGAR_SHIFT;
    else
      out.cigar.push_back(1u << BAM_CIGAR_SHIFT | op);
  }
}

}  // namespace

int align_in_band(std::string_view seq, const Chromosome& chromosome, std::int64_t position,
                  int band, PlacementWork& work, Placement& out) {
  const std::int64_t size = chromosome.length;
  const auto n = static_cast<std::int64_t>(seq.size());
  Band b;
  b.start = position - band < 0 ? 0 : position - band;
  b.end = position + n + band > size ? size : position + n + band;
  b.offset = position - b.start;
  b.band = band;
  b.width = 2 * band + 1;
  work.band.resize(static_cast<std::size_t>((n + 1) * b.width));
  std::int32_t* cost = work.band.data();
  const char* window =
      window_bases(chromosome, b.start, static_cast<std::size_t>(b.end - b.start), work).data();
  fill_band(seq, window, b, cost);
  // The cheapest end, nearest to the ungapped diagonal on a tie.
  const std::int32_t* last = cost + n * b.width;
  int best = -1;
  for (int k = 0; k < b.width; ++k) {
    if (last[k] >= kUnreachable) continue;
    const bool nearer =
        best >= 0 && last[k] == last[best] &&
        (k > band ? k - band : band - k) < (best > band ? best - band : band - best);
    if (best < 0 || last[k] < last[best] || nearer) best = k;
  }
  if (best < 0) return kNoAlignment;
  trace_back(seq, window, b, best, work, out);
  return last[best];
}

}  // namespace quilm::sam
