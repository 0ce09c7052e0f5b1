// Junction-crossing reads from reads mapped onto transcript sequences: every
// junction that a transcript hit spans becomes one "refFlat-splice" record in
// genome coordinates.
#pragma once

#include <string>
#include <vector>

#include "tools/refjunc/transcript_model.hpp"

namespace quilm::refjunc {

// Number of records of each read number in a mapping output (index = read
// number). Throws InputError for a negative read number.
std::vector<int> count_read_hits(const std::string& mapping_output_path);

// The junctions that a read of `length` bases at 0-based transcript position
// `position` spans: for each, the read bases before it and the exon k before it.
struct SpannedJunction {
  long long bases_before = 0;
  std::size_t exon = 0;
};
std::vector<SpannedJunction> spanned_junctions(const TranscriptModel& model, long long position,
                                               long long length);

// Writes "refFlat-splice" anew from the transcript hits of a mapping output.
void refFlattosplice(const TranscriptTable& table, const std::string& transcript_hits_path,
                     const std::string& refflat_splice_path);

}  // namespace quilm::refjunc
