// The hits of a finished run, gathered from its output files into one compact
// table sorted by read number, each hit checked against the reference.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "sam/hts_handles.hpp"
#include "sam/reference_genome.hpp"

namespace quilm::sam {

// Which output file a hit came from; it decides the mapping quality.
enum class HitClass : std::uint8_t { kHigh, kLow, kMulti, kUnclassified };

struct Hit {
  std::int64_t read_number = 0;
  std::int64_t first = 0;   // 0-based chromosome position
  std::int64_t second = 0;  // splice hits: position of the read's first base for the second part
  std::int32_t chromosome = 0;
  std::int32_t split = -1;  // splice hits: index of the first part's last base; -1 otherwise
  std::int32_t errors = 0;
  std::uint32_t length = 0;         // read length
  std::uint32_t sequence_hash = 0;  // to catch a dataset that is not the run's
  std::uint32_t record = 0;         // ordinal of the record in its file, for messages
  std::uint8_t source = 0;          // index into RunHits::sources
  HitClass hit_class = HitClass::kHigh;
  char strand = 'F';

  bool spliced() const { return split >= 0; }
};

struct HitSource {
  std::string path;
  const char* kind;  // "mapping output" or "splice output"
};

struct RunHits {
  std::vector<HitSource> sources;
  std::vector<Hit> hits;  // by read number; a read's hits in file order
  bool six_files = false;
};

// One output file as read: its hits name their chromosome by an index into
// `chromosomes` until they are checked against the reference.
struct HitFile {
  std::string path;
  std::uint8_t source = 0;  // index into RunHits::sources
  HitClass hit_class = HitClass::kHigh;
  bool splice = false;
  std::vector<Hit> hits;
  std::vector<std::string> chromosomes;
  std::exception_ptr error;  // of the reading, after the hits before it
};

// The run's files being read: with a pool each in a job of its own, so that
// the calling thread can load the reference meanwhile.
struct RunHitsReading {
  RunHits run;
  std::vector<HitFile> files;  // never resized once reading started
  ProcessPtr jobs;             // after the files: it waits for their jobs before they go
};

// The files of a run: "<run>-quilm2high" ... "<run>-splice-mutil" (`six_files`),
// else <run> itself.
std::vector<std::string> run_hit_file_paths(const std::string& run, bool six_files);

// Starts reading "<run>-quilm2high" ... "<run>-splice-mutil" (`six_files`),
// else the file <run> as the output of the mapping-only driver. Without a
// pool the files are read before it returns.
RunHitsReading start_reading_run_hits(const std::string& run, bool six_files, hts_tpool* pool);

// Waits for the files, checks every hit against the reference and gathers
// them by read number. Throws InputError naming the file and record for a
// hit that does not fit the reference (or a record that cannot be read),
// the first one in file order, as reading and checking file by file would.
RunHits finish_run_hits(RunHitsReading& reading, const ReferenceGenome& genome);

// Hash of a read sequence as stored in Hit::sequence_hash.
std::uint32_t sequence_hash(std::string_view sequence);

// "'<path>': <kind> record <n>" for messages about a hit.
std::string describe_hit(const RunHits& run, const Hit& hit);

// How far (in bases) a hit of the indel pass may reach past its ungapped
// placement: the alignment band on each side.
inline constexpr int kIndelBand = 16;

}  // namespace quilm::sam
