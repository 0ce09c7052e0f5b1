// The SAM records of a pair of mates whose hits are placed: the pairing of
// their hits and the pair fields of every record.
#pragma once

#include <htslib/sam.h>

#include <cstdint>
#include <string>
#include <vector>

#include "sam/dataset_reader.hpp"
#include "sam/mate_pairing.hpp"
#include "sam/read_placement.hpp"
#include "sam/run_hits.hpp"
#include "sam/sam_records.hpp"

namespace quilm::sam {

// Where built records go: appended to `bytes` (stored_records.hpp), with
// RG:Z:<read_group> when that is not empty.
struct RecordSink {
  const std::string* read_group = nullptr;
  std::vector<std::uint8_t>* bytes = nullptr;
  bam1_t* record = nullptr;
};

// Adds the read group to sink.record and stores it.
void keep_record(RecordSink& sink);

// One mate with its hits in file order and their placements.
struct PlacedMate {
  const DatasetRead* read = nullptr;
  const Hit* hits = nullptr;
  int count = 0;
  std::vector<Placement> placements;  // the first `count` belong to the hits
  std::vector<MateHit> mate_hits;
  // Rescued alignments in place of the run's hits: their hits (made for
  // the records) and kinds (XR:Z:<kind>); no kinds for the run's hits.
  std::vector<Hit> rescued_hits;
  std::vector<const std::string*> kinds;
  // Their stored scores (AS); empty: each record's AS comes from its alignment.
  std::vector<int> scores;
};

struct PairRecordWork {
  PlacedMate mates[2];
  PairingWork pairing;
  PairChoice choice;
  RecordWork record_work;
};

struct PairSettings {
  std::int64_t max_insert = kDefaultMaxInsert;
  bool unmapped = false;  // records for unmapped mates too
  int max_hits = 0;       // records per mate, or concordant pairs; 0: all
};

// Pairs the hits of work.mates and hands every record of the pair to
// `sink`, mate 1's before mate 2's (a concordant pair's records pair by
// pair). A concordant pair is written as a proper pair (0x2), each taken
// pair with NH the pairs taken and HI its rank, the first primary; each
// mate's mapping quality says how many of its hits pair with the fewest
// errors. Otherwise each mate's hits are written as a single read's, with
// RNEXT and PNEXT at the other mate's first hit. An unmapped mate (written
// with settings.unmapped) lies at its mate's first hit. TLEN is the
// distance between the two 5' ends when both lie on one chromosome.
// Returns how the pair aligned.
PairKind write_pair_records(const PairSettings& settings, PairRecordWork& work, RecordSink& sink);

}  // namespace quilm::sam
