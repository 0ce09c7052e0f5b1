// The check every reader of a reference FASTA makes before using it: one
// pass that counts its letters and lists its sequences, and the rule that
// names a sequence after the first word of its header.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quilm {

// One sequence of a reference: its name, the line of its header and its
// length in bases, counted as the segmentation counts positions.
struct FastaSequence {
  std::string name;
  std::int64_t line = 0;
  std::int64_t length = 0;
};

// The letters of a reference's sequence lines (ASCII A-Z and a-z), how many
// of them are lower case, the blanks and tabs skipped in those lines, and
// its sequences in file order.
struct FastaSummary {
  std::int64_t letters = 0;
  std::int64_t lower_case = 0;
  std::int64_t blanks = 0;
  std::vector<FastaSequence> sequences;
};

// Reads the whole reference once and throws InputError naming the file when
// it is not a FASTA the segmentation can use: the first non-blank byte must
// be '>', every header must give a name (its first word) that no other
// header gives, and some sequence must follow.
FastaSummary check_fasta(const std::string& ref_path);

// The first sequence with bases whose name a SAM header cannot declare, as
// a message naming the file, the sequence, its line and the rule; empty
// when there is none.
std::string forbidden_sam_name(const std::string& ref_path, const FastaSummary& fasta);

// The chromosome name of a header line: its first whitespace-delimited word.
std::string chromosome_name(const std::string& header_line);

}  // namespace quilm
