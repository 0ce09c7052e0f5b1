#include "sam/reference_genome.hpp"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "common/errors.hpp"
#include "common/huge_pages.hpp"
#include "common/input_file.hpp"
#include "pipeline/segmentation.hpp"

namespace quilm::sam {

namespace {

// The bases of all chromosomes go into one block, sized by the file for a
// plain reference (the bases are never more than its bytes) and grown by
// doubling for a compressed one.
class BaseStore {
 public:
  explicit BaseStore(ReferenceGenome& genome, const InputFile& in) : genome_(genome) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(in.path(), ec);
    reserve(!in.compressed() && !ec && size > 0 ? static_cast<std::size_t>(size)
                                                : std::size_t{1} << 20);
  }

  // Appends the bytes of a run that holds no header, dropping CR and LF and
  // upper-casing the rest, line by line.
  void append(const char* p, std::size_t n) {
    if (used_ + n > genome_.capacity) reserve(2 * (used_ + n));
    while (n > 0) {
      const char* nl = static_cast<const char*>(std::memchr(p, '\n', n));
      const std::size_t length = nl ? static_cast<std::size_t>(nl - p) : n;
      used_ += copy_line(p, length, genome_.storage.get() + used_);
      const std::size_t step = nl ? length + 1 : length;
      p += step;
      n -= step;
    }
  }
  std::size_t used() const { return used_; }
  std::string_view since(std::size_t start) const {
    return {genome_.storage.get() + start, used_ - start};
  }

 private:
  // Copies a line upper-cased in one branch-free pass; the rare line with
  // a CR is then packed. Returns the bytes kept.
  static std::size_t copy_line(const char* p, std::size_t n, char* out) {
    unsigned char carriage_return = 0;
    for (std::size_t i = 0; i < n; ++i) {
      const auto c = static_cast<unsigned char>(p[i]);
      out[i] = static_cast<char>(c - (static_cast<unsigned char>(c - 'a') < 26 ? 32 : 0));
      carriage_return |= static_cast<unsigned char>(c == '\r');
    }
    if (!carriage_return) return n;
    return static_cast<std::size_t>(std::remove(out, out + n, '\r') - out);
  }

  void reserve(std::size_t capacity) {
    std::unique_ptr<char[]> grown(new char[capacity]);
    advise_huge(grown.get(), capacity);
    if (used_ > 0) std::memcpy(grown.get(), genome_.storage.get(), used_);
    // Chromosomes already added point into the old block.
    for (Chromosome& c : genome_.chromosomes)
      c.bases = {grown.get() + (c.bases.data() - genome_.storage.get()), c.bases.size()};
    genome_.storage = std::move(grown);
    genome_.capacity = capacity;
  }

  ReferenceGenome& genome_;
  std::size_t used_ = 0;
};

void add_chromosome(ReferenceGenome& genome, std::string name, std::string_view bases) {
  if (bases.empty()) return;
  const int ordinal = static_cast<int>(genome.chromosomes.size());
  if (!genome.index.emplace(name, ordinal).second)
    throw InputError("reference '" + genome.path + "' holds two chromosomes named '" + name + "'");
  genome.chromosomes.push_back(Chromosome{std::move(name), bases});
}

}  // namespace

ReferenceGenome load_reference(const std::string& path) {
  check_fasta(path);
  ReferenceGenome genome;
  genome.path = path;
  InputFile in(path);
  BaseStore store(genome, in);
  std::string name;
  std::size_t start = 0;
  bool in_chromosome = false;
  std::string header;
  while (in.available() > 0 || in.refill()) {
    const char* p = in.data();
    const std::size_t n = in.available();
    // A '>' anywhere starts a header, as in the run's segmentation.
    const char* stop = static_cast<const char*>(std::memchr(p, '>', n));
    const std::size_t span = stop ? static_cast<std::size_t>(stop - p) : n;
    if (in_chromosome) store.append(p, span);
    in.consume(span);
    if (!stop) continue;
    in.consume(1);
    if (in_chromosome) add_chromosome(genome, std::move(name), store.since(start));
    in.read_line(header);
    name = chromosome_name(header);
    start = store.used();
    in_chromosome = true;
  }
  if (in_chromosome) add_chromosome(genome, std::move(name), store.since(start));
  return genome;
}

int find_chromosome(const ReferenceGenome& genome, const std::string& name) {
  auto it = genome.index.find(name);
  return it == genome.index.end() ? -1 : it->second;
}

}  // namespace quilm::sam
