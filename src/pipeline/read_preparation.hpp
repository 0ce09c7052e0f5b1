// The numbered read file of the first cycle, made from the FASTQ dataset.
#pragma once

#include <string>

#include "common/input_file.hpp"

namespace quilm {

struct ReadPreparation {
  int read_count = 0;   // records numbered, those of length 0 included
  int empty_reads = 0;  // reads of length 0: numbered, but not in the read file
  int long_reads = 0;   // reads longer than the maximum read length
  int longest = 0;      // bases of the longest read
};

// Writes "<work_folder>/0.fastq" ("<number>\t<sequence>\n" per read, numbers
// from 1) from the dataset, read once from its start. Headers are read to
// the line end, so they may hold blanks; sequence, separator and quality are
// read as words. A read of length 0 is numbered but not written: nothing can
// map it, and the read file's words cannot hold it. A last record without
// all three is not counted (a warning says so); a record whose header lacks
// the '@', whose separator lacks the '+' or whose quality does not fit its
// sequence is an InputError naming the file and the record. Warnings on
// stderr name reads longer than `max_read_length` and an empty dataset.
ReadPreparation chang_fastqfile(InputFile& dataset, const std::string& work_folder,
                                int max_read_length);

}  // namespace quilm
