// Cutting the reference into numbered segment files of fixed size, with the
// segment index "fast_index.txt" and the work sizes "task.txt".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/fasta_check.hpp"

namespace quilm {

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

}  // namespace quilm
