#include "sam/run_hits.hpp"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <new>
#include <unordered_map>

#include "common/errors.hpp"
#include "common/output_records.hpp"
#include "common/work_files.hpp"

namespace quilm::sam {

namespace {

constexpr const char* kMappingKind = "mapping output";
constexpr const char* kSpliceKind = "splice output";

// Shared checks of a record's read number, strand and chromosome (the
// reference's ordinal of the name, or -1).
void check_common(const RunHits& run, const Hit& hit, const std::string& chromosome, int ordinal,
                  const ReferenceGenome& genome) {
  if (hit.read_number < 1)
    throw InputError(describe_hit(run, hit) + " has read number " +
                     std::to_string(hit.read_number) + ", which names no read");
  if (hit.strand != 'F' && hit.strand != 'R')
    throw InputError(describe_hit(run, hit) + " has strand '" + std::string(1, hit.strand) +
                     "' (F or R expected)");
  if (ordinal < 0)
    throw InputError(describe_hit(run, hit) + " names chromosome '" + chromosome +
                     "', which the reference '" + genome.path + "' does not hold");
}

[[noreturn]] void throw_outside(const RunHits& run, const Hit& hit, const Chromosome& chr) {
  throw InputError(describe_hit(run, hit) + " places the read outside chromosome '" + chr.name +
                   "' (" + std::to_string(chr.length) + " bases)");
}

void check_mapping_hit(const RunHits& run, const Hit& hit, const ReferenceGenome& genome) {
  const auto size = static_cast<std::int64_t>(genome.chromosomes[hit.chromosome].length);
  // A hit of the indel pass may reach a little past its ungapped placement.
  if (hit.first < 0 || hit.first >= size || hit.first + hit.length > size + kIndelBand)
    throw_outside(run, hit, genome.chromosomes[hit.chromosome]);
}

void check_splice_hit(const RunHits& run, const Hit& hit, const ReferenceGenome& genome) {
  // Both parts must hold at least one base, and the intron at least one.
  if (hit.split < 0 || hit.split + 1 >= static_cast<std::int32_t>(hit.length))
    throw InputError(describe_hit(run, hit) + " has split offset " + std::to_string(hit.split) +
                     " for a read of " + std::to_string(hit.length) + " bases");
  if (hit.second <= hit.first)
    throw InputError(describe_hit(run, hit) + " has its second part before its first");
  const auto size = static_cast<std::int64_t>(genome.chromosomes[hit.chromosome].length);
  if (hit.first < 0 || hit.second + hit.length > size)
    throw_outside(run, hit, genome.chromosomes[hit.chromosome]);
}

// Checks the file's hits in file order and gives them the reference's
// chromosome ordinals; then throws the error of the reading, if any.
void check_file(const RunHits& run, HitFile& file, const ReferenceGenome& genome) {
  std::vector<int> ordinals;
  for (const std::string& name : file.chromosomes)
    ordinals.push_back(find_chromosome(genome, name));
  for (Hit& hit : file.hits) {
    const int local = hit.chromosome;
    hit.chromosome = ordinals[local];
    check_common(run, hit, file.chromosomes[local], hit.chromosome, genome);
    if (file.splice)
      check_splice_hit(run, hit, genome);
    else
      check_mapping_hit(run, hit, genome);
  }
  if (file.error) std::rethrow_exception(file.error);
}

// The chromosome names of a file, each given an index as it first appears.
struct NameIndex {
  std::unordered_map<std::string, std::int32_t> index;
  std::int32_t last = -1;  // of the previous record, almost always the same name
};

std::int32_t name_index(HitFile& file, NameIndex& names, const std::string& name) {
  if (names.last >= 0 && file.chromosomes[names.last] == name) return names.last;
  const auto [at, added] = names.index.emplace(name, static_cast<std::int32_t>(names.index.size()));
  if (added) file.chromosomes.push_back(name);
  names.last = at->second;
  return names.last;
}

void read_mapping_file(HitFile& file) {
  MappingOutputReader reader(file.path);
  MappingOutputRecord record;
  NameIndex names;
  std::uint32_t ordinal = 0;
  while (reader.next(record)) {
    file.hits.push_back(
        {record.read_number, record.position, 0, name_index(file, names, record.chromosome), -1,
         record.errors, static_cast<std::uint32_t>(record.sequence.size()),
         sequence_hash(record.sequence), ++ordinal, file.source, file.hit_class, record.strand});
  }
}

void read_splice_file(HitFile& file) {
  SpliceOutputReader reader(file.path);
  SpliceOutputRecord record;
  NameIndex names;
  std::uint32_t ordinal = 0;
  while (reader.next(record)) {
    file.hits.push_back({record.read_number, record.first, record.second,
                         name_index(file, names, record.chromosome), record.split, record.errors,
                         static_cast<std::uint32_t>(record.sequence.size()),
                         sequence_hash(record.sequence), ++ordinal, file.source, file.hit_class,
                         record.strand});
  }
}

// A pool job (or a plain call): reads one file, keeping an error for the
// checks.
void* read_hit_file(void* arg) {
  auto& file = *static_cast<HitFile*>(arg);
  try {
    if (file.splice)
      read_splice_file(file);
    else
      read_mapping_file(file);
  } catch (...) {
    file.error = std::current_exception();
  }
  return nullptr;
}

// Sorts the hits by read number, keeping file order among a read's hits.
// Each file of a run is already in read order but for a break per segment,
// so the hits are cut into their ascending runs and those merged in pairs
// (std::inplace_merge is stable and borrows at most half of the hits'
// memory): a few passes instead of a whole sort, and never more than a
// merge sort's.
void sort_by_read(std::vector<Hit>& hits) {
  const auto before = [](const Hit& a, const Hit& b) { return a.read_number < b.read_number; };
  std::vector<std::size_t> bounds = {0};
  for (std::size_t i = 1; i < hits.size(); ++i)
    if (before(hits[i], hits[i - 1])) bounds.push_back(i);
  bounds.push_back(hits.size());
  const auto at = [&](std::size_t bound) { return hits.begin() + static_cast<long>(bound); };
  while (bounds.size() > 2) {
    std::vector<std::size_t> next = {0};
    for (std::size_t k = 0; k + 2 < bounds.size(); k += 2) {
      std::inplace_merge(at(bounds[k]), at(bounds[k + 1]), at(bounds[k + 2]), before);
      next.push_back(bounds[k + 2]);
    }
    if (next.back() != hits.size()) next.push_back(hits.size());  // an odd run out
    bounds.swap(next);
  }
}

void add_file(RunHitsReading& r, std::string path, HitClass hit_class, bool splice) {
  r.files.push_back(
      {path, static_cast<std::uint8_t>(r.run.sources.size()), hit_class, splice, {}, {}, nullptr});
  r.run.sources.push_back({std::move(path), splice ? kSpliceKind : kMappingKind});
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

std::vector<std::string> run_hit_file_paths(const std::string& run_base, bool six_files) {
  if (!six_files) return {run_base};
  std::vector<std::string> paths;
  for (const char* suffix : kOutputSuffixes) paths.push_back(run_base + suffix);
  return paths;
}

RunHitsReading start_reading_run_hits(const std::string& run_base, bool six_files,
                                      hts_tpool* pool) {
  RunHitsReading r;
  r.run.six_files = six_files;
  const std::vector<std::string> paths = run_hit_file_paths(run_base, six_files);
  if (!r.run.six_files) {
    add_file(r, paths[0], HitClass::kUnclassified, false);
  } else {
    // The three contiguous files, then the three split ones.
    const HitClass classes[] = {HitClass::kHigh, HitClass::kLow, HitClass::kMulti};
    for (std::size_t i = 0; i < paths.size(); ++i) add_file(r, paths[i], classes[i % 3], i >= 3);
  }
  if (pool) r.jobs = make_process(pool, static_cast<int>(r.files.size()), false);
  for (HitFile& file : r.files) {
    if (!pool)
      read_hit_file(&file);
    else if (hts_tpool_dispatch(pool, r.jobs.get(), read_hit_file, &file) < 0)
      throw std::bad_alloc();
  }
  return r;
}

RunHits finish_run_hits(RunHitsReading& r, const ReferenceGenome& genome) {
  if (r.jobs && hts_tpool_process_flush(r.jobs.get()) < 0) throw std::bad_alloc();
  std::size_t count = 0;
  for (HitFile& file : r.files) {
    check_file(r.run, file, genome);
    count += file.hits.size();
  }
  RunHits run = std::move(r.run);
  run.hits.reserve(count);
  for (HitFile& file : r.files) {
    run.hits.insert(run.hits.end(), file.hits.begin(), file.hits.end());
    file.hits = {};
  }
  // A read's hits keep file order, so its first hit is the primary one.
  sort_by_read(run.hits);
  return run;
}

}  // namespace quilm::sam
