#include "sam/rescued_alignments.hpp"

#include <htslib/sam.h>

#include <climits>

#include "common/errors.hpp"
#include "common/input_file.hpp"
#include "common/seed_code.hpp"
#include "common/rescue_record.hpp"
#include "common/rescue_scoring.hpp"

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

void parse_line(const std::string& path, long number, std::string_view line,
                const ReferenceGenome& genome, std::vector<std::string_view>& f,
                RescuedAlignment& a) {
  split_fields(line, f);
  std::int64_t read = 0, position = 0, score = 0, edit = 0, hits = 0, reference_length = 0;
  if (f.size() != 10 || !parse_number(f[0], read) || read < 1 || !parse_number(f[2], position) ||
      position < 1 || (f[3] != "+" && f[3] != "-") ||
      !parse_cigar(f[4], a.cigar, a.read_length, reference_length) || !parse_number(f[5], score) ||
      !parse_number(f[6], edit) || f[7].empty() || f[8].size() != 1 || !parse_number(f[9], hits) ||
      hits < 1 || hits > INT_MAX || score < INT_MIN || score > INT_MAX)
    bad_line(path, number, "not a rescued alignment");
  const auto chromosome = genome.index.find(std::string(f[1]));
  if (chromosome == genome.index.end())
    bad_line(path, number, "chromosome '" + std::string(f[1]) + "' is not in the reference");
  const Chromosome& c = genome.chromosomes[static_cast<std::size_t>(chromosome->second)];
  if (position > c.length || reference_length > c.length - (position - 1))
    bad_line(path, number, "the alignment runs past the end of chromosome '" + c.name + "'");
  a.read_number = read;
  a.chromosome = chromosome->second;
  a.position = position - 1;
  a.reverse = f[3] == "-";
  a.score = static_cast<int>(score);
  a.kind.assign(f[7]);
  a.intron_strand = f[8][0];
  a.hits = static_cast<int>(hits);
  a.line = number;
}

}  // namespace

std::vector<RescuedAlignment> read_rescued_alignments(const std::string& path,
                                                      const ReferenceGenome& genome) {
  InputFile in(path);
  std::vector<RescuedAlignment> out;
  std::vector<std::string_view> fields;
  std::string line;
  for (long number = 1; in.read_line(line); ++number) {
    RescuedAlignment a;
    parse_line(path, number, line, genome, fields, a);
    if (!out.empty() && a.read_number < out.back().read_number)
      bad_line(path, number,
               "read " + std::to_string(a.read_number) + " follows read " +
                   std::to_string(out.back().read_number));
    out.push_back(std::move(a));
  }
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
  work.upper.assign(read);
  for (char& c : work.upper) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  if (alignment.reverse)
    reverse_complement(work.upper, out.sequence);
  else
    out.sequence = work.upper;
}

}  // namespace quilm::sam
