// The numbered read file of the first cycle, made from the FASTQ dataset.
#pragma once

#include <string>

namespace quilm {

// Writes "<work_folder>/0.fastq" ("<number>\t<sequence>\n" per read, numbers
// from 1) and returns the number of reads. Headers are read to the line end,
// so they may hold blanks; sequence, separator and quality are read as words.
// A last record without all three is not counted (a warning says so); a
// record whose header lacks the '@' or whose separator lacks the '+' is an
// InputError naming the file and the record.
int chang_fastqfile(const std::string& dataset_path, const std::string& work_folder);

}  // namespace quilm
