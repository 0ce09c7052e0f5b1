// Cutting the reference into numbered segment files of fixed size, with the
// segment index "fast_index.txt" and the work sizes "task.txt".
#pragma once

#include <cstdint>
#include <string>

namespace quilm {

// The letters of a reference's sequence lines (ASCII A-Z and a-z), and how
// many of them are lower case.
struct FastaSummary {
  std::int64_t letters = 0;
  std::int64_t lower_case = 0;
};

// Reads the whole reference once and throws InputError naming the file when
// it is not a FASTA the segmentation can use: the first non-blank byte must
// be '>', every header must give a name (its first word) that no other
// header gives, and some sequence must follow.
FastaSummary check_fasta(const std::string& ref_path);

// The segment files of a reference and how many of them already held their
// bytes from an earlier run (left as they were, not written again).
struct SegmentFiles {
  int segments = 0;
  int kept = 0;
};

// Writes the segment files "<work_folder>/<k>.txt", "fast_index.txt" and
// "task.txt"; consecutive segments overlap by `overlap` characters and
// chromosomes are joined with one 'N'. A segment file that already holds
// the bytes it is to hold is left untouched.
SegmentFiles segment_reference(const std::string& ref_path, const std::string& work_folder,
                               int overlap, std::int64_t segment_size, int masked_toggle);
// The same, returning the number of segment files.
int splitfasta(const std::string& ref_path, const std::string& work_folder, int overlap,
               std::int64_t segment_size, int masked_toggle);

// The chromosome name of a header line: its first whitespace-delimited word.
std::string chromosome_name(const std::string& header_line);

}  // namespace quilm
