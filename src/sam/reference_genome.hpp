// The reference FASTA held in memory, with chromosomes named and measured the
// way the run's segmentation names and measures them.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quilm::sam {

struct Chromosome {
  std::string name;
  // Every byte of the record but CR and LF, upper-cased: positions count
  // exactly as in the run, and masked bases compare like plain ones. The
  // bytes live in the genome's storage.
  std::string_view bases;
};

struct ReferenceGenome {
  std::string path;
  std::unique_ptr<char[]> storage;  // all chromosomes' bases, one after another
  std::size_t capacity = 0;
  std::vector<Chromosome> chromosomes;
  std::unordered_map<std::string, int> index;  // name -> ordinal
};

// Throws InputError naming the file when it is not a FASTA or names a
// chromosome twice. Chromosomes without bases are left out: no hit can lie
// on them and a SAM header cannot declare them.
ReferenceGenome load_reference(const std::string& path);

// The ordinal of a chromosome, or -1.
int find_chromosome(const ReferenceGenome& genome, const std::string& name);

}  // namespace quilm::sam
