#include "pipeline/read_preparation.hpp"

#include <cstdio>

#include "common/input_file.hpp"
#include "common/numbered_reads.hpp"
#include "common/output_file.hpp"
#include "common/paths.hpp"
#include "common/text_scanner.hpp"

namespace quilm {

int chang_fastqfile(const std::string& dataset_path, const std::string& work_folder) {
  InputFile in(dataset_path);
  TextScanner scan(in);
  OutputFile out(join_path(work_folder, "0.fastq"));
  std::string header, sequence, separator, quality;
  int count = 0;
  for (;;) {
    // The header is taken to the end of its line; an empty line matches
    // nothing and leaves the words below to the following lines.
    if (scan.read_to_line_end(header) == Scan::kEof) break;
    if (scan.read_word(sequence) == Scan::kEof) break;
    if (scan.read_word(separator) != Scan::kOk || scan.read_word(quality) != Scan::kOk) {
      std::fprintf(stderr, "warning: the last record of '%s' is cut short and was not counted\n",
                   dataset_path.c_str());
      break;
    }
    scan.skip_space();
    ++count;
    write_numbered_read(out, count, sequence);
  }
  out.close();
  return count;
}

}  // namespace quilm
