#include "pipeline/read_preparation.hpp"

#include <cstdio>
#include <string_view>

#include "common/errors.hpp"
#include "common/fastq_record.hpp"
#include "common/numbered_reads.hpp"
#include "common/output_file.hpp"
#include "common/paths.hpp"
#include "common/text_scanner.hpp"

namespace quilm {

namespace {

[[noreturn]] void bad_record(const std::string& path, int record, const std::string& problem) {
  throw InputError("'" + path + "': FASTQ record " + std::to_string(record) + " " + problem);
}

struct Numbering {
  const std::string& path;
  std::size_t max_read_length;
  OutputFile& out;
  ReadPreparation& result;
};

// Numbers one read and writes it to the read file.
inline void number_read(Numbering& n, std::string_view sequence, std::size_t quality_size) {
  ReadPreparation& r = n.result;
  const int number = ++r.read_count;
  if (sequence.size() != quality_size)
    bad_record(n.path, number,
               "has " + std::to_string(quality_size) + " quality values for " +
                   std::to_string(sequence.size()) + " bases");
  if (sequence.size() > n.max_read_length) {
    ++r.long_reads;
    if (sequence.size() > static_cast<std::size_t>(r.longest))
      r.longest = static_cast<int>(sequence.size());
  }
  if (sequence.empty()) {
    ++r.empty_reads;
    return;
  }
  write_numbered_read(n.out, number, sequence);
}

void warn_about_reads(const std::string& path, int max_read_length, const ReadPreparation& r) {
  std::fflush(stdout);
  if (r.read_count == 0)
    std::fprintf(stderr, "warning: the dataset '%s' holds no reads\n", path.c_str());
  if (r.long_reads > 0)
    std::fprintf(stderr,
                 "warning: %d reads of '%s' are longer than -L%d (the longest has %d bases): "
                 "their hits that cross a segment boundary can be missed; use -L%d\n",
                 r.long_reads, path.c_str(), max_read_length, r.longest, r.longest);
}

}  // namespace

ReadPreparation chang_fastqfile(InputFile& in, const std::string& work_folder,
                                int max_read_length) {
  const std::string& path = in.path();
  TextScanner scan(in);
  OutputFile out(join_path(work_folder, "0.fastq"), OutputFile::Mode::kTruncate, kCacheBlock);
  ReadPreparation result;
  Numbering numbering{path, static_cast<std::size_t>(max_read_length), out, result};
  std::string header, sequence, separator, quality;
  scan.skip_space();  // blank lines before the first record
  for (;;) {
    PlainFastqRecord plain;
    if (take_plain_fastq_record(in, plain)) {
      number_read(numbering, plain.sequence, plain.quality.size());
      scan.skip_space();
      continue;
    }
    // The header is taken to the end of its line; the other three lines are
    // words, so blank lines between records do no harm.
    const Scan head = scan.read_to_line_end(header);
    if (head == Scan::kEof) break;
    if (head != Scan::kOk || header[0] != '@')
      bad_record(path, result.read_count + 1, "does not begin with an '@' header line");
    if (!read_fastq_words(scan, sequence, separator, quality)) {
      std::fprintf(stderr, "warning: the last record of '%s' is cut short and was not counted\n",
                   path.c_str());
      break;
    }
    if (separator[0] != '+') bad_record(path, result.read_count + 1, "has no '+' separator line");
    scan.skip_space();
    number_read(numbering, sequence, quality.size());
  }
  out.close();
  warn_about_reads(path, max_read_length, result);
  return result;
}

}  // namespace quilm
