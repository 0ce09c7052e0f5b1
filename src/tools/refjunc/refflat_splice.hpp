// Junction-crossing reads from reads mapped onto transcript sequences: every
// junction that a transcript hit spans becomes one "refFlat-splice" record in
// genome coordinates.
#pragma once

#include <string>
#include <vector>

#include "tools/refjunc/transcript_model.hpp"

namespace quilm::refjunc {

// The read numbers of every record of a mapping output, sorted, from which
// hits_of_read counts a read's records. Throws InputError for a read number
// outside 0..INT_MAX.
std::vector<int> count_read_hits(const std::string& mapping_output_path);

// Records of a read among the sorted read numbers of count_read_hits.
int hits_of_read(const std::vector<int>& sorted_numbers, long long read_number);

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
