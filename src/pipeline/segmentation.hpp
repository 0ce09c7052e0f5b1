// Cutting the reference into numbered segment files of fixed size, with the
// segment index "fast_index.txt" and the work sizes "task.txt".
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

// The segment files of a reference and how many of them already held their
// bytes from an earlier run (left as they were, not written again).
struct SegmentFiles {
  int segments = 0;
  int kept = 0;
};

// Writes the segment files "<work_folder>/<k>.txt", "fast_index.txt" and
// "task.txt"; consecutive segments overlap by `overlap` characters and
// chromosomes are joined with one 'N'. Carriage returns, blanks and tabs in
// sequence lines are skipped like line feeds. A segment file that already holds
// the bytes it is to hold is left untouched.
SegmentFiles segment_reference(const std::string& ref_path, const std::string& work_folder,
                               int overlap, std::int64_t segment_size, int masked_toggle);
// The same, returning the number of segment files.
int splitfasta(const std::string& ref_path, const std::string& work_folder, int overlap,
               std::int64_t segment_size, int masked_toggle);

// The chromosome name of a header line: its first whitespace-delimited word.
std::string chromosome_name(const std::string& header_line);

}  // namespace quilm
