#include "pipeline/read_preparation.hpp"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "common/errors.hpp"
#include "common/input_file.hpp"
#include "common/numbered_reads.hpp"
#include "common/output_file.hpp"
#include "common/paths.hpp"
#include "common/text_scanner.hpp"

namespace quilm {

namespace {

// The dataset is read and the read file written in blocks that stay in the
// second-level cache between the kernel's copies and the scan.
constexpr std::size_t kPrepBlock = std::size_t{256} << 10;

// True when a line holds white space (blank, tab, CR, ...); written without
// an early exit so that the compiler can vectorise it.
bool has_space(const char* begin, const char* end) {
  unsigned char found = 0;
  for (const char* c = begin; c < end; ++c) {
    const auto b = static_cast<unsigned char>(*c);
    found |= static_cast<unsigned char>((b == ' ') | (static_cast<unsigned char>(b - 9) < 5));
  }
  return found != 0;
}

// The common case in one step: a record whose four lines lie wholly in the
// input buffer, with '@' and '+' in place and no white space inside the
// sequence, separator and quality lines, reads exactly as the word-by-word
// path below would read it. Anything else is left to that path.
bool take_plain_record(InputFile& in, std::string_view& sequence) {
  const char* begin = in.data();
  const char* end = begin + in.available();
  const char* line[4];
  const char* stop[4];
  const char* at = begin;
  for (int k = 0; k < 4; ++k) {
    const void* nl = std::memchr(at, '\n', static_cast<std::size_t>(end - at));
    if (!nl) return false;
    line[k] = at;
    stop[k] = static_cast<const char*>(nl);
    at = stop[k] + 1;
  }
  if (*line[0] != '@' || *line[2] != '+') return false;
  for (int k = 1; k < 4; ++k)
    if (stop[k] == line[k] || has_space(line[k], stop[k])) return false;
  sequence = std::string_view(line[1], static_cast<std::size_t>(stop[1] - line[1]));
  in.consume(static_cast<std::size_t>(at - begin));
  return true;
}

[[noreturn]] void bad_record(const std::string& path, int record, const char* problem) {
  throw InputError("'" + path + "': FASTQ record " + std::to_string(record) + " " + problem);
}

}  // namespace

int chang_fastqfile(const std::string& dataset_path, const std::string& work_folder) {
  InputFile in(dataset_path, kPrepBlock);
  TextScanner scan(in);
  OutputFile out(join_path(work_folder, "0.fastq"), OutputFile::Mode::kTruncate, kPrepBlock);
  std::string header, sequence, separator, quality;
  int count = 0;
  scan.skip_space();  // blank lines before the first record
  for (;;) {
    std::string_view plain;
    if (take_plain_record(in, plain)) {
      ++count;
      write_numbered_read(out, count, plain);
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
