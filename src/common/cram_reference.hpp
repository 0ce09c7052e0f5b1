// CRAM records are encoded against the reference, which htslib reads through
// its FASTA index: "<reference>.fai" (and ".gzi" for bgzip), made beside the
// reference when missing, as samtools makes it.
#pragma once

#include <string>

namespace quilm {

// Throws InputError naming the option and the file when htslib cannot index
// the reference: a plain gzip file (bgzip is needed), lines of unequal
// length, or no index and a folder where none can be made.
void check_cram_reference(const std::string& path, const char* option);

}  // namespace quilm
