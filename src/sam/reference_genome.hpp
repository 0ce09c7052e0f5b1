// The reference FASTA held in memory, with chromosomes named and measured the
// way the run's segmentation names and measures them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "sam/packed_bases.hpp"

namespace quilm::sam {

struct Chromosome {
  std::string name;
  std::int64_t length = 0;
  std::int64_t offset = 0;             // of its first base among the genome's bases
  const PackedBases* bases = nullptr;  // the genome's bases

  // Bases [start, start + n) of the chromosome, upper-cased, held in
  // `buffer`; the range must lie within the chromosome. Every byte of the
  // record but LF, CR, blank and tab counts, so positions are the run's
  // positions.
  std::string_view fetch(std::int64_t start, std::size_t n, std::string& buffer) const;
  // Brings bases [start, start + n) into the cache ahead of a fetch; the part
  // outside the chromosome is left out.
  void prefetch(std::int64_t start, std::size_t n) const;
};

struct ReferenceGenome {
  std::string path;
  std::unique_ptr<PackedBases> bases = std::make_unique<PackedBases>();
  std::vector<Chromosome> chromosomes;
  std::unordered_map<std::string, int> index;  // name -> ordinal
};

// Throws InputError naming the file when it is not a FASTA or names a
// chromosome twice; warns on stderr about blanks and tabs skipped in its
// sequence lines. Chromosomes without bases are left out: no hit can lie
// on them and a SAM header cannot declare them.
ReferenceGenome load_reference(const std::string& path);

// Appends a chromosome of the given bytes (no line ends); one without bases
// is left out. Throws InputError when the name is taken.
void add_chromosome(ReferenceGenome& genome, std::string name, std::string_view bases);

// Throws InputError naming the file and the chromosome when a chromosome's
// name cannot be a SAM reference name: in @SQ and RNAME it would be misread
// ('*' reads back as unmapped) or break region syntax.
void check_sam_names(const ReferenceGenome& genome);

// The ordinal of a chromosome, or -1.
int find_chromosome(const ReferenceGenome& genome, const std::string& name);

}  // namespace quilm::sam
