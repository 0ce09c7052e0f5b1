// Reading the genome FASTA: the size file "genome_info" and one chromosome
// record at a time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/input_file.hpp"

namespace quilm::annoprep {

// The length of every ">" record in file order, so that the chromosome
// reader can size its buffer once, and the blanks and tabs skipped in the
// sequence lines.
struct GenomeSizes {
  std::vector<long> lengths;
  std::int64_t blanks = 0;
};

// Writes the size file for the genome at genome_path into info_path: per
// record its name, a tab and its length (bytes other than LF, CR, blank and
// tab).
GenomeSizes fasta_info(const std::string& genome_path, const std::string& info_path);

// Skips the genome up to and including its first ">"; false when there is none.
bool skip_to_first_record(InputFile& genome);

// Reads one record from just after its ">": the name (the header cut at its
// first ">", then its first space-separated word) and every following byte
// other than LF, CR, blank and tab up to the next ">" or the end of the file. Returns true
// when it stopped at a ">" (consumed), that is when another record follows.
bool fasta_read(InputFile& genome, std::string& name, std::string& sequence);

// The first space-separated word of a header line (leading spaces skipped).
std::string first_word(std::string_view header);

}  // namespace quilm::annoprep
