#include "sam/run_hits.hpp"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "common/errors.hpp"
#include "common/output_records.hpp"

namespace quilm::sam {

namespace {

constexpr const char* kMappingKind = "mapping output";
constexpr const char* kSpliceKind = "splice output";

// Shared checks of a record's read number, strand and chromosome; returns
// the chromosome's ordinal.
int check_common(const RunHits& run, const Hit& hit, const std::string& chromosome,
                 const ReferenceGenome& genome) {
  if (hit.read_number < 1)
    throw InputError(describe_hit(run, hit) + " has read number " +
                     std::to_string(hit.read_number) + ", which names no read");
  if (hit.strand != 'F' && hit.strand != 'R')
    throw InputError(describe_hit(run, hit) + " has strand '" + std::string(1, hit.strand) +
                     "' (F or R expected)");
  const int ordinal = find_chromosome(genome, chromosome);
  if (ordinal < 0)
    throw InputError(describe_hit(run, hit) + " names chromosome '" + chromosome +
                     "', which the reference '" + genome.path + "' does not hold");
  return ordinal;
}

[[noreturn]] void throw_outside(const RunHits& run, const Hit& hit, const Chromosome& chr) {
  throw InputError(describe_hit(run, hit) + " places the read outside chromosome '" + chr.name +
                   "' (" + std::to_string(chr.length) + " bases)");
}

void read_mapping_file(RunHits& run, HitClass hit_class, const ReferenceGenome& genome) {
  const auto source = static_cast<std::uint8_t>(run.sources.size() - 1);
  MappingOutputReader reader(run.sources.back().path);
  MappingOutputRecord record;
  std::uint32_t ordinal = 0;
  while (reader.next(record)) {
    Hit hit{record.read_number,
            record.position,
            0,
            0,
            -1,
            record.errors,
            static_cast<std::uint32_t>(record.sequence.size()),
            sequence_hash(record.sequence),
            ++ordinal,
            source,
            hit_class,
            record.strand};
    hit.chromosome = check_common(run, hit, record.chromosome, genome);
    const auto size = static_cast<std::int64_t>(genome.chromosomes[hit.chromosome].length);
    // A hit of the indel pass may reach a little past its ungapped placement.
    if (hit.first < 0 || hit.first >= size || hit.first + hit.length > size + kIndelBand)
      throw_outside(run, hit, genome.chromosomes[hit.chromosome]);
    run.hits.push_back(hit);
  }
}

void read_splice_file(RunHits& run, HitClass hit_class, const ReferenceGenome& genome) {
  const auto source = static_cast<std::uint8_t>(run.sources.size() - 1);
  SpliceOutputReader reader(run.sources.back().path);
  SpliceOutputRecord record;
  std::uint32_t ordinal = 0;
  while (reader.next(record)) {
    Hit hit{record.read_number,
            record.first,
            record.second,
            0,
            record.split,
            record.errors,
            static_cast<std::uint32_t>(record.sequence.size()),
            sequence_hash(record.sequence),
            ++ordinal,
            source,
            hit_class,
            record.strand};
    hit.chromosome = check_common(run, hit, record.chromosome, genome);
    // Both parts must hold at least one base, and the intron at least one.
    if (hit.split < 0 || hit.split + 1 >= static_cast<std::int32_t>(hit.length))
      throw InputError(describe_hit(run, hit) + " has split offset " + std::to_string(hit.split) +
                       " for a read of " + std::to_string(hit.length) + " bases");
    if (hit.second <= hit.first)
      throw InputError(describe_hit(run, hit) + " has its second part before its first");
    const auto size = static_cast<std::int64_t>(genome.chromosomes[hit.chromosome].length);
    if (hit.first < 0 || hit.second + hit.length > size)
      throw_outside(run, hit, genome.chromosomes[hit.chromosome]);
    run.hits.push_back(hit);
  }
}

}  // namespace

std::uint32_t sequence_hash(std::string_view sequence) {
  // Eight bytes per multiply-and-mix step; the tail as one more word.
  std::uint64_t h = 0x9E3779B97F4A7C15ull ^ sequence.size();
  const char* p = sequence.data();
  std::size_t n = sequence.size();
  for (; n >= 8; p += 8, n -= 8) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    h = (h ^ word) * 0xBF58476D1CE4E5B9ull;
    h ^= h >> 31;
  }
  std::uint64_t tail = 0;
  std::memcpy(&tail, p, n);
  h = (h ^ tail) * 0x94D049BB133111EBull;
  h ^= h >> 29;
  return static_cast<std::uint32_t>(h ^ (h >> 32));
}

std::string describe_hit(const RunHits& run, const Hit& hit) {
  const HitSource& source = run.sources[hit.source];
  return "'" + source.path + "': " + source.kind + " record " + std::to_string(hit.record);
}

RunHits load_run_hits(const std::string& run_base, bool six_files, const ReferenceGenome& genome) {
  RunHits run;
  run.six_files = six_files;
  if (!run.six_files) {
    run.sources.push_back({run_base, kMappingKind});
    read_mapping_file(run, HitClass::kUnclassified, genome);
  } else {
    const HitClass classes[] = {HitClass::kHigh, HitClass::kLow, HitClass::kMulti};
    const char* mapping[] = {"-quilm2high", "-quilm2low", "-quilm2mutil"};
    const char* splice[] = {"-splice-high", "-splice-low", "-splice-mutil"};
    for (int i = 0; i < 3; ++i) {
      run.sources.push_back({run_base + mapping[i], kMappingKind});
      read_mapping_file(run, classes[i], genome);
    }
    for (int i = 0; i < 3; ++i) {
      run.sources.push_back({run_base + splice[i], kSpliceKind});
      read_splice_file(run, classes[i], genome);
    }
  }
  // Stable: a read's hits keep file order, so its first hit is the primary one.
  std::stable_sort(run.hits.begin(), run.hits.end(),
                   [](const Hit& a, const Hit& b) { return a.read_number < b.read_number; });
  return run;
}

}  // namespace quilm::sam
