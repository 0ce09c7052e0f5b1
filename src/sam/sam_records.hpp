// Building the SAM records of one read: its hits with their flags, mapping
// quality and tags, or one unmapped record.
#pragma once

#include <htslib/sam.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sam/dataset_reader.hpp"
#include "sam/read_placement.hpp"
#include "sam/run_hits.hpp"

namespace quilm::sam {

// The longest read name that SAM allows.
inline constexpr std::size_t kMaxQnameLength = 254;

// Makes a read name a valid SAM QNAME: every byte outside '!' to '~', and
// every '@', becomes '_', and a name longer than kMaxQnameLength is cut to
// that length. Returns true when the name changed. A valid name costs one
// pass without branches and is left as it is.
bool make_valid_qname(std::string& name);

// Mapping quality of a unique hit of the "low" files.
inline constexpr int kLowQualityMapq = 10;

// 60 for a unique hit of high quality, kLowQualityMapq for one of low
// quality, and for a read with several best hits 3 (two), 1 (three or four)
// or 0 (more). Hits of the mapping-only driver's file are classed here by
// the run's own rule: high quality up to 0.05 x length + 1.5 errors.
int mapping_quality(const Hit& hit, int hit_count);

// The records a read (or a pair's concordant pairs) gets of `count`: all,
// or the first `max_hits` when that is set (above 0).
inline int kept_hits(int count, int max_hits) {
  return max_hits > 0 && count > max_hits ? max_hits : count;
}

struct RecordWork {
  std::string quality;  // Phred values in the order of the aligned sequence
  std::string mate_cigar;
};

// The fields of a record of one mate of a pair that tell about the pair.
struct MateFields {
  bool second = false;         // mate 2 (FLAG 0x80), else mate 1 (0x40)
  bool proper = false;         // 0x2: the mates are a concordant pair
  bool mate_unmapped = false;  // 0x8
  bool mate_reverse = false;   // 0x20
  std::int32_t mate_tid = -1;  // RNEXT
  std::int64_t mate_pos = -1;  // PNEXT, 0-based
  std::int64_t template_length = 0;
  // MC and MQ: the CIGAR and mapping quality of the record the fields
  // point to, or none (nullptr, -1); an empty CIGAR is written "*", as for
  // a mate that is unmapped.
  const std::vector<std::uint32_t>* mate_cigar = nullptr;
  int mate_mapq = -1;
  // XR:Z:<kind> before the mate tags: the record's alignment was rescued.
  const std::string* rescued_kind = nullptr;
};

// The mapping quality of a hit that is the only one of its read: 60 for a
// hit of high quality, kLowQualityMapq for one of low quality (by the run's
// rule: at most 0.05 x length + 1.5 errors); the pairing makes a hit of a
// read with several hits unique when no other hit pairs as well.
int unique_hit_quality(const Hit& hit);

// The mapping quality of one of `count` equally good placements: 3 for
// two, 1 for three or four, 0 for more.
int multi_hit_quality(int count);

// The 5' end of an alignment on the reference: its first base, or one past
// its last for the reverse strand. Two mates' template length is the
// distance between their 5' ends, positive for the mate whose 5' end lies
// left.
inline std::int64_t five_prime_end(std::int64_t pos, std::int64_t end, bool reverse) {
  return reverse ? end : pos;
}

// The AS of a record that comes from its alignment, not from a stored score.
inline constexpr int kScoreOfAlignment = -(1 << 30);

struct HitNumbering {
  int tid = 0;
  int mapq = 0;
  int hit_count = 0;  // NH
  int hit_index = 0;  // HI, from 1; the first hit is the primary one
  // AS; kScoreOfAlignment: computed from the placement (alignment_score.hpp).
  int score = kScoreOfAlignment;
};

// Fills `b` with the record of one placed hit; throws std::bad_alloc when
// htslib cannot grow the record.
// With `mate`, the record of a mate of a pair.
void build_mapped_record(const DatasetRead& read, const Hit& hit, const Placement& placement,
                         const HitNumbering& numbering, RecordWork& work, bam1_t* b,
                         const MateFields* mate = nullptr);

// Fills `b` with the record of a read without hits (FLAG 4). With `mate`,
// the record of a mate of a pair: when the other mate is mapped, it lies at
// that mate's position (RNAME and POS as RNEXT and PNEXT), as is usual.
void build_unmapped_record(const DatasetRead& read, RecordWork& work, bam1_t* b,
                           const MateFields* mate = nullptr);

// Adds XR:Z:<kind>, which marks a rescued alignment, to a built record;
// throws std::bad_alloc as above.
void add_rescue_tag(const std::string& kind, bam1_t* b);

// Adds RG:Z:<id> to a built record; throws std::bad_alloc as above.
void add_read_group(const std::string& id, bam1_t* b);

}  // namespace quilm::sam
