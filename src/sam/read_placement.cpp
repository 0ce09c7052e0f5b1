#include "sam/read_placement.hpp"

#include <htslib/sam.h>

#include <charconv>

#include "common/seed_code.hpp"
#include "sam/banded_alignment.hpp"

namespace quilm::sam {

namespace {

constexpr int kUnreachable = kNoAlignment;

// Mismatches of an ungapped placement, or kUnreachable when it leaves the
// chromosome.
int ungapped_mismatches(std::string_view sequence, const Chromosome& chromosome,
                        std::int64_t position, PlacementWork& work) {
  if (position < 0 || position + static_cast<std::int64_t>(sequence.size()) > chromosome.length)
    return kUnreachable;
  int count = 0;
  const std::string_view ref = window_bases(chromosome, position, sequence.size(), work);
  for (std::size_t i = 0; i < sequence.size(); ++i) count += !same_base(sequence[i], ref[i]);
  return count;
}

void push_cigar(std::vector<std::uint32_t>& cigar, std::uint32_t op, std::uint32_t length) {
  if (length == 0) return;
  if (!cigar.empty() && (cigar.back() & BAM_CIGAR_MASK) == op)
    cigar.back() += length << BAM_CIGAR_SHIFT;
  else
    cigar.push_back(length << BAM_CIGAR_SHIFT | op);
}

// Mismatches of the split placement of a sequence.
int split_mismatches(std::string_view sequence, const Hit& hit, const Chromosome& chromosome,
                     PlacementWork& work) {
  const auto first = static_cast<std::size_t>(hit.split) + 1;
  return ungapped_mismatches(sequence.substr(0, first), chromosome, hit.first, work) +
         ungapped_mismatches(sequence.substr(first), chromosome, hit.second + hit.split + 1, work);
}

}  // namespace

void upper_case(std::string_view read, std::string& out) {
  out.assign(read);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
}

void place_ungapped(std::int64_t position, Placement& out) {
  out.position = position;
  out.cigar.clear();
  push_cigar(out.cigar, BAM_CMATCH, static_cast<std::uint32_t>(out.sequence.size()));
}

std::string_view window_bases(const Chromosome& chromosome, std::int64_t start, std::size_t n,
                              PlacementWork& work) {
  if (work.window_chromosome == &chromosome && work.window_start == start &&
      work.window.size() == n)
    return work.window;
  work.window_chromosome = &chromosome;
  work.window_start = start;
  return chromosome.fetch(start, n, work.window);
}

bool place_mapping_hit(const Hit& hit, std::string_view read, const Chromosome& chromosome,
                       PlacementWork& work, Placement& out) {
  upper_case(read, work.upper);
  out.reverse = hit.strand == 'R';
  if (out.reverse) {
    reverse_complement(work.upper, work.reverse);
    out.sequence.assign(work.reverse);
  } else {
    out.sequence.assign(work.upper);
  }
  const int ungapped = ungapped_mismatches(out.sequence, chromosome, hit.first, work);
  if (ungapped <= hit.errors) {
    place_ungapped(hit.first, out);
    return true;
  }
  const int cost = align_in_band(out.sequence, chromosome, hit.first, kIndelBand, work, out);
  if (cost >= kNoAlignment && ungapped >= kNoAlignment) return false;
  // On a tie the ungapped placement reads more simply.
  if (cost >= ungapped) place_ungapped(hit.first, out);
  return true;
}

void place_splice_hit(const Hit& hit, std::string_view read, const Chromosome& chromosome,
                      PlacementWork& work, Placement& out) {
  upper_case(read, work.upper);
  reverse_complement(work.upper, work.reverse);
  out.reverse = split_mismatches(work.reverse, hit, chromosome, work) <
                split_mismatches(work.upper, hit, chromosome, work);
  out.sequence.assign(out.reverse ? work.reverse : work.upper);
  out.position = hit.first;
  out.cigar.clear();
  const auto length = static_cast<std::uint32_t>(hit.length);
  const auto first = static_cast<std::uint32_t>(hit.split) + 1;
  push_cigar(out.cigar, BAM_CMATCH, first);
  push_cigar(out.cigar, BAM_CREF_SKIP, static_cast<std::uint32_t>(hit.second - hit.first));
  push_cigar(out.cigar, BAM_CMATCH, length - first);
}

std::int64_t reference_length(const std::vector<std::uint32_t>& cigar) {
  std::int64_t length = 0;
  for (std::uint32_t entry : cigar)
    if (bam_cigar_type(bam_cigar_op(entry)) & 2) length += bam_cigar_oplen(entry);
  return length;
}

void describe_against_reference(const Chromosome& chromosome, PlacementWork& work, Placement& out) {
  out.md.clear();
  out.edit_distance = 0;
  std::int64_t position = out.position;
  const char* seq = out.sequence.data();
  int run = 0;  // matching bases since the last MD entry
  const auto flush_run = [&] {
    char text[16];
    auto end = std::to_chars(text, text + sizeof text, run).ptr;
    out.md.append(text, end);
    run = 0;
  };
  for (std::uint32_t entry : out.cigar) {
    const std::uint32_t op = entry & BAM_CIGAR_MASK;
    const std::uint32_t length = entry >> BAM_CIGAR_SHIFT;
    if (op == BAM_CMATCH) {
      const std::string_view ref = window_bases(chromosome, position, length, work);
      for (std::uint32_t i = 0; i < length; ++i, ++seq) {
        if (same_base(*seq, ref[i])) {
          ++run;
          continue;
        }
        flush_run();
        out.md.push_back(ref[i]);
        ++out.edit_distance;
      }
      position += length;
    } else if (op == BAM_CINS) {
      seq += length;
      out.edit_distance += static_cast<int>(length);
    } else if (op == BAM_CDEL) {
      flush_run();
      out.md.push_back('^');
      out.md.append(window_bases(chromosome, position, length, work));
      position += length;
      out.edit_distance += static_cast<int>(length);
    } else if (op == BAM_CREF_SKIP) {
      position += length;
    } else if (op == BAM_CSOFT_CLIP) {
      seq += length;
    }
  }
  flush_run();
}

}  // namespace quilm::sam
