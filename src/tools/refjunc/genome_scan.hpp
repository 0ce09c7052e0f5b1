// One pass over a genome FASTA that yields each chromosome's name and length
// without holding its sequence.
#pragma once

#include <string>

#include "common/input_file.hpp"

namespace quilm::refjunc {

// Consumes the genome up to and including its first '>'; throws InputError
// naming the file when there is none.
void skip_to_first_header(InputFile& genome);

// With the genome positioned just after a '>': the chromosome name is the
// first whitespace-delimited word of the header line (empty when the line
// has none), the length the number of bytes up to the next '>' or the end of
// the file, line feeds, carriage returns, blanks and tabs not counted; the
// blanks and tabs are added to `blanks`. Returns true when a '>' follows,
// which is consumed.
bool chrname_size(InputFile& genome, std::string& name, long long& length, long long& blanks);

}  // namespace quilm::refjunc
