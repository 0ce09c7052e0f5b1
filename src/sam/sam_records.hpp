// Building the SAM records of one read: its hits with their flags, mapping
// quality and tags, or one unmapped record.
#pragma once

#include <htslib/sam.h>

#include <cstddef>
#include <string>

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

struct RecordWork {
  std::string quality;  // Phred values in the order of the aligned sequence
};

struct HitNumbering {
  int tid = 0;
  int mapq = 0;
  int hit_count = 0;  // NH
  int hit_index = 0;  // HI, from 1; the first hit is the primary one
};

// Fills `b` with the record of one placed hit; throws std::bad_alloc when
// htslib cannot grow the record.
void build_mapped_record(const DatasetRead& read, const Hit& hit, const Placement& placement,
                         const HitNumbering& numbering, RecordWork& work, bam1_t* b);

// Fills `b` with the record of a read without hits (FLAG 4).
void build_unmapped_record(const DatasetRead& read, RecordWork& work, bam1_t* b);

// Adds XR:Z:<kind>, which marks a rescued alignment, to a built record;
// throws std::bad_alloc as above.
void add_rescue_tag(const std::string& kind, bam1_t* b);

// Adds RG:Z:<id> to a built record; throws std::bad_alloc as above.
void add_read_group(const std::string& id, bam1_t* b);

}  // namespace quilm::sam
