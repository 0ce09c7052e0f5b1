// The numbered read file of the first cycle, made from the FASTQ dataset,
// or from two mate files read side by side.
#pragma once

#include <string>

#include "common/input_file.hpp"
#include "common/progress_display.hpp"

namespace quilm {

struct ReadPreparation {
  int read_count = 0;   // records numbered, those of length 0 included
  int empty_reads = 0;  // reads of length 0: numbered, but not in the read file
  int long_reads = 0;   // reads longer than the maximum read length
  int longest = 0;      // bases of the longest read
};

// The second file of paired reads, and whether the names of the two mates
// of a pair must agree.
struct MateFile {
  InputFile* file = nullptr;  // none: single reads
  bool name_check = true;
};

// Writes "<work_folder>/0.fastq" ("<number>\t<sequence>\n" per read, numbers
// from 1) from the dataset, read once from its start. Headers are read to
// the line end, so they may hold blanks; sequence, separator and quality are
// read as words. Bases are written in upper case. A read of length 0 is numbered but not written:
// nothing can map it, and the read file's words cannot hold it. A last record without all three is
// not counted (a warning says so); a record whose header lacks the '@', whose separator lacks the
// '+' or whose quality does not fit its sequence is an InputError naming the file and the record.
// Warnings on stderr name reads longer than `max_read_length` and an empty dataset.
//
// With a mate file the reads are numbered interleaved: read 2k-1 is record
// k of the dataset (mate 1 of pair k) and read 2k record k of the mate file.
// The two files must hold the same number of records, and, with the name
// check, the two names of a pair must be the same once a trailing "/1" or
// "/2" is removed (the comment after the name is never compared); else an
// InputError names the files and the pair. A last record cut short in
// either file is an error too: dropping it would drop half a pair.
//
// With a progress display, every 4096 reads it is given the reads numbered
// and the total that the share of the dataset read so far foretells.
ReadPreparation chang_fastqfile(InputFile& dataset, const std::string& work_folder,
                                int max_read_length, MateFile mates = {},
                                ProgressDisplay* progress = nullptr);

}  // namespace quilm
