// Cutting the reference into numbered segment files of fixed size, with the
// segment index "fast_index.txt" and the work sizes "task.txt".
#pragma once

#include <cstdint>
#include <string>

namespace quilm {

// Throws InputError naming the file when it is not a FASTA the segmentation
// can use: the first non-blank byte must be '>', and some sequence must
// follow. Reads only as far as it needs to.
void check_fasta(const std::string& ref_path);

// Writes the segment files "<work_folder>/<k>.txt", "fast_index.txt" and
// "task.txt"; consecutive segments overlap by `overlap` characters and
// chromosomes are joined with one 'N'. Returns the number of segment files.
int splitfasta(const std::string& ref_path, const std::string& work_folder, int overlap,
               std::int64_t segment_size, int masked_toggle);

// The chromosome name of a header line: its first whitespace-delimited word.
std::string chromosome_name(const std::string& header_line);

}  // namespace quilm
