#include "pipeline/read_preparation.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string_view>

#include "common/errors.hpp"
#include "common/fastq_record.hpp"
#include "common/numbered_reads.hpp"
#include "common/output_file.hpp"
#include "common/paths.hpp"
#include "common/progress_counter.hpp"
#include "common/text_scanner.hpp"
#include "common/work_files.hpp"

namespace quilm {

namespace {

[[noreturn]] void bad_record(const std::string& path, int record, const std::string& problem) {
  throw InputError("'" + path + "': FASTQ record " + std::to_string(record) + " " + problem);
}

// One FASTQ file record by record, by the numbering rules. The views of a
// record live until the next call.
class FastqRecords {
 public:
  explicit FastqRecords(InputFile& in) : in_(in), scan_(in) {}
  const std::string& path() const { return in_.path(); }

  // The next record; false at the end of the file, and at a last record
  // without all its lines (then cut_short is set).
  bool next();

  std::string_view header;
  std::string_view sequence;
  std::size_t quality_size = 0;
  int records = 0;  // records taken so far
  bool cut_short = false;

 private:
  InputFile& in_;
  TextScanner scan_;
  std::string header_, sequence_, separator_, quality_;
};

bool FastqRecords::next() {
  // Blank lines before the first record and between records; skipped here
  // rather than after a record, as that may refill the buffer under its views.
  scan_.skip_space();
  PlainFastqRecord plain;
  if (take_plain_fastq_record(in_, plain)) {
    header = plain.header;
    sequence = plain.sequence;
    quality_size = plain.quality.size();
    ++records;
    return true;
  }
  // The header is taken to the end of its line; the other three lines are
  // words, so blank lines between records do no harm.
  const Scan head = scan_.read_to_line_end(header_);
  if (head == Scan::kEof) return false;
  if (head != Scan::kOk || header_[0] != '@')
    bad_record(path(), records + 1, "does not begin with an '@' header line");
  if (!read_fastq_words(scan_, sequence_, separator_, quality_)) {
    cut_short = true;
    return false;
  }
  if (separator_[0] != '+') bad_record(path(), records + 1, "has no '+' separator line");
  header = header_;
  sequence = sequence_;
  quality_size = quality_.size();
  ++records;
  return true;
}

struct Numbering {
  std::size_t max_read_length;
  OutputFile& out;
  ReadPreparation& result;
  std::string upper;  // a lower-case read's bases in upper case
};

// Numbers the record just taken and writes it to the read file.
inline void number_read(Numbering& n, const FastqRecords& record) {
  ReadPreparation& r = n.result;
  const int number = ++r.read_count;
  const std::string_view sequence = record.sequence;
  if (sequence.size() != record.quality_size)
    bad_record(record.path(), record.records,
               "has " + std::to_string(record.quality_size) + " quality values for " +
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
  write_numbered_read(n.out, number, upper_case_bases(sequence, n.upper));
}

// After one of the two files ended: both must end together, and cleanly.
void check_pair_end(const FastqRecords& first, const FastqRecords& second) {
  for (const FastqRecords* f : {&first, &second})
    if (f->cut_short)
      throw InputError("'" + f->path() + "': the last record (record " +
                       std::to_string(f->records + 1) +
                       ") is cut short; the pair it belongs to cannot be mapped");
  if (first.records != second.records) {
    const FastqRecords& shorter = first.records < second.records ? first : second;
    const FastqRecords& longer = first.records < second.records ? second : first;
    throw InputError("the mate files hold different numbers of reads: '" + shorter.path() +
                     "' ends after " + std::to_string(shorter.records) + " records, '" +
                     longer.path() + "' holds more");
  }
}

void check_names(const FastqRecords& first, const FastqRecords& second) {
  const std::string_view a = mate_name(first.header);
  const std::string_view b = mate_name(second.header);
  if (a == b) return;
  throw InputError("the mates of pair " + std::to_string(first.records) +
                   " have different names: '" + std::string(a) + "' in '" + first.path() +
                   "' and '" + std::string(b) + "' in '" + second.path() +
                   "' (give --no-name-check when the files name their mates differently)");
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

// The reads so far, and the total they foretell from the dataset's share
// read (unknown for a pipe).
void show_progress(ProgressDisplay* progress, InputFile& in, long reads) {
  if (!progress || reads % ProgressCounter::kStep != 0) return;
  const double share = in.share_read();
  const long total =
      share > 0 ? std::max(reads, std::lround(static_cast<double>(reads) / share)) : -1;
  progress->update(reads, total);
}

}  // namespace

ReadPreparation chang_fastqfile(InputFile& in, const std::string& work_folder, int max_read_length,
                                MateFile mates, ProgressDisplay* progress) {
  OutputFile out(join_path(work_folder, kReadFile), OutputFile::Mode::kTruncate, kCacheBlock);
  ReadPreparation result;
  Numbering numbering{static_cast<std::size_t>(max_read_length), out, result, {}};
  FastqRecords first(in);
  std::optional<FastqRecords> second;
  if (mates.file) second.emplace(*mates.file);
  for (;;) {
    const bool got_first = first.next();
    if (!second) {
      if (!got_first) break;
      number_read(numbering, first);
      show_progress(progress, in, result.read_count);
      continue;
    }
    // Both records of a pair are taken before either is numbered; each
    // file's views stay valid while the other file is read.
    // The mate file is read on even after the dataset ended, so that one
    // record more in either file is found.
    if (!second->next() || !got_first) {
      check_pair_end(first, *second);
      break;
    }
    if (mates.name_check) check_names(first, *second);
    number_read(numbering, first);
    number_read(numbering, *second);
    show_progress(progress, in, result.read_count);
  }
  if (first.cut_short)
    std::fprintf(stderr, "warning: the last record of '%s' is cut short and was not counted\n",
                 in.path().c_str());
  out.close();
  warn_about_reads(in.path(), max_read_length, result);
  return result;
}

}  // namespace quilm
