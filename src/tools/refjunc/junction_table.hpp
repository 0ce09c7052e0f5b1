// The junction table of one chromosome and strand: a direct array over the
// chromosome's coordinates, so that every probe and update is one index.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/output_file.hpp"

namespace quilm::refjunc {

struct JunctionTable {
  long long length = 0;  // chromosome length
  long long size = 0;    // coordinates 0 .. size - 1 take evidence: length + 1000
  // At a donor D: the acceptor A; at D + 1: the longest left anchor; at
  // A + 1: the longest right anchor.
  std::vector<std::uint32_t> partner;
  // At D and A: summed evidence weights; at D + 1: the lowest error count
  // (0 when the founding read had none). Coordinates above 0 are occupied.
  std::vector<float> support;
  // Every coordinate written since the last reset, so that a pass costs
  // time in its evidence, not in the chromosome length.
  std::vector<long long> touched;
};

struct JunctionEvidence {
  long long donor = 0;     // D: 1-based coordinate of the last base before the junction
  long long acceptor = 0;  // A: 1-based coordinate of the first base after it
  int left_anchor = 0;     // read bases up to D
  int right_anchor = 0;    // read bases from A on
  int errors = 0;
  double weight = 1.0;
};

enum class Placement { kFounded, kMerged, kDeferred, kOutside };

// Empties the table for a chromosome of `length` bases.
void reset_junction_table(JunctionTable& table, long long length);

// Founds a junction, merges into one within one position, defers evidence
// that conflicts with the table, or reports evidence outside the table.
Placement place_evidence(JunctionTable& table, const JunctionEvidence& item);

// Appends every junction of the table in ascending donor order, numbering
// them on from `junction_number`.
void write_junctions(JunctionTable& table, const std::string& chromosome, char strand,
                     long& junction_number, OutputFile& out);

}  // namespace quilm::refjunc
