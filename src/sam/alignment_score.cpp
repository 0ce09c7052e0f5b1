#include "sam/alignment_score.hpp"

#include <htslib/sam.h>

#include <cctype>

#include "common/rescue_scoring.hpp"

namespace quilm::sam {

namespace {

// Walks MD along the aligned (M) bases: a number is that many matches, a
// letter the reference base of one mismatch, '^' and letters a deletion.
struct MdCursor {
  const std::string& md;
  std::size_t at = 0;
  long matches_left = 0;

  void skip_deletion() {
    while (matches_left == 0 && at < md.size() && md[at] == '0') ++at;
    if (at < md.size() && md[at] == '^') {
      ++at;
      while (at < md.size() && std::isalpha(static_cast<unsigned char>(md[at]))) ++at;
    }
  }
  // The reference base of the next aligned base, or 0 when it matches.
  char next() {
    while (matches_left == 0 && at < md.size() &&
           std::isdigit(static_cast<unsigned char>(md[at]))) {
      while (at < md.size() && std::isdigit(static_cast<unsigned char>(md[at])))
        matches_left = matches_left * 10 + (md[at++] - '0');
      if (matches_left == 0) skip_deletion();
    }
    if (matches_left > 0) {
      --matches_left;
      return 0;
    }
    return at < md.size() ? md[at++] : 'N';
  }
};

int mismatch_score(char read_base, char reference_base) {
  return read_base == 'N' || reference_base == 'N' ? RescueScore::kUnknownBase
                                                   : RescueScore::kMismatch;
}

int gap_score(int length) {
  return -(RescueScore::kGapOpen + RescueScore::kGapExtend * length);
}

}  // namespace

int alignment_score(const Placement& p) {
  MdCursor md{p.md};
  int score = 0;
  std::size_t query = 0;
  for (const std::uint32_t entry : p.cigar) {
    const int length = static_cast<int>(bam_cigar_oplen(entry));
    switch (bam_cigar_op(entry)) {
      case BAM_CMATCH:
      case BAM_CEQUAL:
      case BAM_CDIFF:
        for (int k = 0; k < length; ++k, ++query) {
          const char reference = md.next();
          score +=
              reference == 0 ? RescueScore::kMatch : mismatch_score(p.sequence[query], reference);
        }
        break;
      case BAM_CINS:
        score += gap_score(length);
        query += static_cast<std::size_t>(length);
        break;
      case BAM_CDEL:
        score += gap_score(length);
        md.skip_deletion();
        break;
      case BAM_CREF_SKIP:
        score -= RescueScore::kKnownIntron;
        break;
      case BAM_CSOFT_CLIP:
        score -= RescueScore::kClip;
        query += static_cast<std::size_t>(length);
        break;
      default:
        break;
    }
  }
  return score;
}

}  // namespace quilm::sam
