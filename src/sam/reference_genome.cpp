#include "sam/reference_genome.hpp"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "common/command_line.hpp"
#include "common/errors.hpp"
#include "common/fasta_check.hpp"
#include "common/fasta_text.hpp"
#include "common/input_file.hpp"

namespace quilm::sam {

namespace {

// Appends the bytes of a run that holds no header, without its line feeds,
// carriage returns, blanks and tabs, as the run's segmentation skips them.
void append_bases(PackedBases& bases, const char* p, std::size_t n) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (!is_layout_byte(p[i])) continue;
    if (i > start) bases.append(p + start, i - start);
    start = i + 1;
  }
  if (n > start) bases.append(p + start, n - start);
}

// Closes the chromosome whose bases begin at `start`.
void close_chromosome(ReferenceGenome& genome, std::string& name, std::int64_t start) {
  const std::int64_t length = genome.bases->size() - start;
  if (length == 0) return;
  const int ordinal = static_cast<int>(genome.chromosomes.size());
  if (!genome.index.emplace(name, ordinal).second)
    throw InputError("reference '" + genome.path + "' holds two chromosomes named '" + name + "'");
  genome.chromosomes.push_back(Chromosome{std::move(name), length, start, genome.bases.get()});
}

}  // namespace

std::string_view Chromosome::fetch(std::int64_t start, std::size_t n, std::string& buffer) const {
  buffer.resize(n);
  bases->fetch(offset + start, n, buffer.data());
  return buffer;
}

void Chromosome::prefetch(std::int64_t start, std::size_t n) const {
  const std::int64_t from = std::max<std::int64_t>(start, 0);
  const std::int64_t to = std::min(start + static_cast<std::int64_t>(n), length);
  if (from < to) bases->prefetch(offset + from, static_cast<std::size_t>(to - from));
}

void add_chromosome(ReferenceGenome& genome, std::string name, std::string_view bases) {
  const std::int64_t start = genome.bases->size();
  genome.bases->append(bases.data(), bases.size());
  close_chromosome(genome, name, start);
}

ReferenceGenome load_reference(const std::string& path) {
  const FastaSummary fasta = check_fasta(path);
  if (fasta.blanks > 0) print_warning("quilm2sam", skipped_blanks_warning(path, fasta.blanks));
  ReferenceGenome genome;
  genome.path = path;
  InputFile in(path);
  std::error_code ec;
  const auto file_size = std::filesystem::file_size(path, ec);
  if (!in.compressed() && !ec) genome.bases->reserve(static_cast<std::int64_t>(file_size));
  std::string name;
  std::int64_t start = 0;
  bool in_chromosome = false;
  std::string header;
  while (in.available() > 0 || in.refill()) {
    const char* p = in.data();
    const std::size_t n = in.available();
    // A '>' anywhere starts a header, as in the run's segmentation.
    const char* stop = static_cast<const char*>(std::memchr(p, '>', n));
    const std::size_t span = stop ? static_cast<std::size_t>(stop - p) : n;
    if (in_chromosome) append_bases(*genome.bases, p, span);
    in.consume(span);
    if (!stop) continue;
    in.consume(1);
    if (in_chromosome) close_chromosome(genome, name, start);
    in.read_line(header);
    name = chromosome_name(header);
    start = genome.bases->size();
    in_chromosome = true;
  }
  if (in_chromosome) close_chromosome(genome, name, start);
  return genome;
}

void check_sam_names(const ReferenceGenome& genome) {
  for (const Chromosome& chromosome : genome.chromosomes) {
    const std::string problem = sam_reference_name_problem(chromosome.name);
    if (!problem.empty())
      throw InputError("reference '" + genome.path + "': sequence name '" +
                       printable_name(chromosome.name) + "' " + problem);
  }
}

int find_chromosome(const ReferenceGenome& genome, const std::string& name) {
  auto it = genome.index.find(name);
  return it == genome.index.end() ? -1 : it->second;
}

}  // namespace quilm::sam
