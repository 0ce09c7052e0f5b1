#include "sam/reference_genome.hpp"

#include <cstring>

#include "common/errors.hpp"
#include "common/input_file.hpp"
#include "pipeline/segmentation.hpp"

namespace quilm::sam {

namespace {

// Appends the bytes of a run that holds no header, dropping the line ends,
// and upper-cases them.
void append_bases(std::string& bases, const char* p, std::size_t n) {
  const std::size_t from = bases.size();
  while (n > 0) {
    const char* end = static_cast<const char*>(std::memchr(p, '\n', n));
    std::size_t length = end ? static_cast<std::size_t>(end - p) : n;
    const std::size_t step = end ? length + 1 : length;
    if (length > 0 && p[length - 1] == '\r') --length;
    bases.append(p, length);
    p += step;
    n -= step;
  }
  for (std::size_t i = from; i < bases.size(); ++i) {
    char& c = bases[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
}

void add_chromosome(ReferenceGenome& genome, Chromosome&& chromosome) {
  if (chromosome.bases.empty()) return;
  const int ordinal = static_cast<int>(genome.chromosomes.size());
  if (!genome.index.emplace(chromosome.name, ordinal).second)
    throw InputError("reference '" + genome.path + "' holds two chromosomes named '" +
                     chromosome.name + "'");
  genome.chromosomes.push_back(std::move(chromosome));
}

}  // namespace

ReferenceGenome load_reference(const std::string& path) {
  check_fasta(path);
  ReferenceGenome genome;
  genome.path = path;
  InputFile in(path);
  Chromosome current;
  bool in_chromosome = false;
  std::string header;
  while (in.available() > 0 || in.refill()) {
    const char* p = in.data();
    const std::size_t n = in.available();
    // A '>' anywhere starts a header, as in the run's segmentation.
    const char* stop = static_cast<const char*>(std::memchr(p, '>', n));
    const std::size_t span = stop ? static_cast<std::size_t>(stop - p) : n;
    if (in_chromosome) append_bases(current.bases, p, span);
    in.consume(span);
    if (!stop) continue;
    in.consume(1);
    if (in_chromosome) add_chromosome(genome, std::move(current));
    in.read_line(header);
    current = Chromosome{chromosome_name(header), {}};
    in_chromosome = true;
  }
  if (in_chromosome) add_chromosome(genome, std::move(current));
  return genome;
}

int find_chromosome(const ReferenceGenome& genome, const std::string& name) {
  auto it = genome.index.find(name);
  return it == genome.index.end() ? -1 : it->second;
}

}  // namespace quilm::sam
