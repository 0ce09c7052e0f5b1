// The transcript model read from an exon table ("refFlat.txt"): per
// transcript its chromosome, strand letter and exons in table order.
#pragma once

#include <string>
#include <vector>

namespace quilm::refjunc {

struct TranscriptModel {
  std::string identifier;
  std::string chromosome;
  char strand = 0;  // 'F' for '+', 'R' for '-', any other character as read
  std::vector<long long> exon_starts;
  std::vector<long long> exon_ends;
  // Entry k: summed lengths (end - start + 1) of exons 0..k, the transcript
  // coordinate of exon k's last base.
  std::vector<long long> cumulative;
};

// Sorted by identifier, one model per identifier.
using TranscriptTable = std::vector<TranscriptModel>;

// Reads the exon table; a transcript identifier that occurs on several lines
// keeps the model of its last line. The line of a transcript with a strand
// other than '+' and '-' may end after the exon count: no exons then.
// Throws InputError naming the file and line for a malformed line.
TranscriptTable stackAS(const std::string& exon_table_path);

// The model of an identifier, or nullptr.
const TranscriptModel* binary_sort(const TranscriptTable& table, const std::string& identifier);

}  // namespace quilm::refjunc
