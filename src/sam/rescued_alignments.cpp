#include "sam/rescued_alignments.hpp"

#include <htslib/sam.h>

#include <climits>

#include "common/errors.hpp"
#include "common/input_file.hpp"
#include "common/rescue_record.hpp"
#include "common/rescue_scoring.hpp"
#include "common/seed_code.hpp"

namespace quilm::sam {

namespace {

[[noreturn]] void bad_line(const std::string& path, long line, const std::string& why) {
  throw InputError("rescued alignments '" + path + "' line " + std::to_string(line) + ": " + why);
}

// BAM CIGAR of the text; false for an empty or malformed one, or an
// operation other than M, I, D, N, S.
bool parse_cigar(std::string_view text, std::vector<std::uint32_t>& cigar,
                 std::uint32_t& read_length, std::int64_t& reference_length) {
  cigar.clear();
  read_length = 0;
  reference_length = 0;
  std::int64_t number = -1;
  for (const char c : text) {
    if (c >= '0' && c <= '9') {
      number = (number < 0 ? 0 : number * 10) + (c - '0');
      if (number > (1 << 27)) return false;
      continue;
    }
    const int op = c == 'M'   ? BAM_CMATCH
                   : c == 'I' ? BAM_CINS
                   : c == 'D' ? BAM_CDEL
                   : c == 'N' ? BAM_CREF_SKIP
                   : c == 'S' ? BAM_CSOFT_CLIP
                              : -1;
    if (op < 0 || number <= 0) return false;
    cigar.push_back(static_cast<std::uint32_t>(number) << BAM_CIGAR_SHIFT |
                    static_cast<std::uint32_t>(op));
    if (bam_cigar_type(op) & 1) read_length += static_cast<std::uint32_t>(number);
    if (bam_cigar_type(op) & 2) reference_length += number;
    number = -1;
  }
  return number < 0 && !cigar.empty() && reference_length > 0;
}

// The alignment of a record, checked against the reference.
void take_record(const RescueOutputReader& in, const RescueOutputRecord& r,
                 const ReferenceGenome& genome, RescuedAlignment& a) {
  std::int64_t reference_length = 0;
  if (!parse_cigar(r.cigar, a.cigar, a.read_length, reference_length))
    bad_line(in.path(), in.line(), "not a rescued alignment");
  const auto chromosome = genome.index.find(std::string(r.chromosome));
  if (chromosome == genome.index.end())
    bad_line(in.path(), in.line(),
             "chromosome '" + std::string(r.chromosome) + "' is not in the reference");
  const Chromosome& c = genome.chromosomes[static_cast<std::size_t>(chromosome->second)];
  if (r.position > c.length || reference_length > c.length - (r.position - 1))
    bad_line(in.path(), in.line(),
             "the alignment runs past the end of chromosome '" + c.name + "'");
  a.read_number = r.read_number;
  a.chromosome = chromosome->second;
  a.position = r.position - 1;
  a.reverse = r.reverse;
  a.score = r.score;
  a.kind.assign(r.kind);
  a.intron_strand = r.intron_strand;
  a.hits = r.hits;
  a.line = in.line();
}

}  // namespace

std::vector<RescuedAlignment> read_rescued_alignments(const std::string& path,
                                                      const ReferenceGenome& genome,
                                                      std::string* run_number) {
  RescueOutputReader in(path);
  std::vector<RescuedAlignment> out;
  RescueOutputRecord record;
  while (in.next(record)) {
    RescuedAlignment& a = out.emplace_back();
    take_record(in, record, genome, a);
  }
  if (run_number) *run_number = in.run_number();
  return out;
}

bool rescued_is_better(int score, std::span<const Hit> earlier) {
  for (const Hit& h : earlier)
    if (score <= earlier_hit_score(static_cast<int>(h.length), h.errors, h.spliced())) return false;
  return true;
}

void place_rescued(const RescuedAlignment& alignment, std::string_view read, PlacementWork& work,
                   Placement& out) {
  out.position = alignment.position;
  out.reverse = alignment.reverse;
  out.cigar = alignment.cigar;
  upper_case(read, work.upper);
  if (alignment.reverse)
    reverse_complement(work.upper, out.sequence);
  else
    out.sequence = work.upper;
}

}  // namespace quilm::sam
