#include "pipeline/read_preparation.hpp"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "common/errors.hpp"
#include "common/fastq_record.hpp"
#include "common/input_file.hpp"
#include "common/numbered_reads.hpp"
#include "common/output_file.hpp"
#include "common/paths.hpp"
#include "common/text_scanner.hpp"

namespace quilm {

namespace {

[[noreturn]] void bad_record(const std::string& path, int record, const char* problem) {
  throw InputError("'" + path + "': FASTQ record " + std::to_string(record) + " " + problem);
}

}  // namespace

int chang_fastqfile(const std::string& dataset_path, const std::string& work_folder) {
  InputFile in(dataset_path, kCacheBlock);
  TextScanner scan(in);
  OutputFile out(join_path(work_folder, "0.fastq"), OutputFile::Mode::kTruncate, kCacheBlock);
  std::string header, sequence, separator, quality;
  int count = 0;
  scan.skip_space();  // blank lines before the first record
  for (;;) {
    PlainFastqRecord plain;
    if (take_plain_fastq_record(in, plain)) {
      ++count;
      write_numbered_read(out, count, plain.sequence);
      scan.skip_space();
      continue;
    }
    // The header is taken to the end of its line; the other three lines are
    // words, so blank lines between records do no harm.
    const Scan head = scan.read_to_line_end(header);
    if (head == Scan::kEof) break;
    if (head != Scan::kOk || header[0] != '@')
      bad_record(dataset_path, count + 1, "does not begin with an '@' header line");
    if (scan.read_word(sequence) == Scan::kEof || scan.read_word(separator) != Scan::kOk ||
        scan.read_word(quality) != Scan::kOk) {
      std::fprintf(stderr, "warning: the last record of '%s' is cut short and was not counted\n",
                   dataset_path.c_str());
      break;
    }
    if (separator[0] != '+') bad_record(dataset_path, count + 1, "has no '+' separator line");
    scan.skip_space();
    ++count;
    write_numbered_read(out, count, sequence);
  }
  out.close();
  return count;
}

}  // namespace quilm
