#include "tools/tailfetch/tailfetch.hpp"

#include <algorithm>

#include "common/command_line.hpp"
#include "common/errors.hpp"
#include "common/file_identity.hpp"
#include "common/input_file.hpp"
#include "common/output_records.hpp"
#include "tools/tailfetch/fastq_reader.hpp"

namespace quilm::tailfetch {
namespace {

constexpr std::size_t kPiece = 75;
// Reads and remainders of this many bases or fewer are not worth mapping.
constexpr std::size_t kShortest = 41;

void write_record(OutputFile& out, long long read_number, int piece, std::string_view sequence,
                  std::string_view quality) {
  out.put('@');
  out.write_int(read_number);
  out.put('_');
  out.write_int(piece);
  out.put('\n');
  out.write(sequence);
  out.write("\n+\n");
  out.write(quality);
  out.put('\n');
}

// Reads one batch from the FASTQ file and writes its unmapped reads; true
// when the file ended within the batch.
bool write_batch(FastqReader& reader, OutputFile& out, long long batch, long long batch_reads,
                 const std::vector<unsigned char>& mapped) {
  FastqRecord record;
  for (long long slot = 1; slot <= batch_reads; ++slot) {
    if (!reader.next(record)) return true;
    if (!mapped[static_cast<std::size_t>(slot)])
      write_read_pieces(out, batch * batch_reads + slot, record.sequence, record.quality);
  }
  return false;
}

}  // namespace

const char* const kTailfetchHelp =
    "usage: tailfetch -F<reads.fastq> -R<mapping output> -O<output.fastq>\n"
    "Writes the reads of a FASTQ file that a mapping output lacks back to FASTQ, cut\n"
    "into pieces of at most 75 bases (reads and remainders of 41 bases or fewer are\n"
    "dropped).\n"
    "Each value follows its letter in the same argument, as in -Freads.fq.\n"
    "  -F<file>   the FASTQ file of the run, plain or gzip (required)\n"
    "  -R<file>   a mapping output of a run over it, such as <output>-quilm2high\n"
    "             (required)\n"
    "  -O<file>   the FASTQ file to write (required)\n"
    "  --help     this text\n"
    "  --version  the program's version\n"
    "Example: tailfetch -Freads.fq -Rresult-quilm2high -Ounmapped.fq\n";

TailfetchOptions param_read(int argc, const char* const* argv) {
  warn_skipped_arguments("tailfetch", argc, argv, "FRO", kTailfetchHelp);
  TailfetchOptions o;
  const auto values = letter_option_values(argc, argv, "FRO");
  o.fastq_path = values[0].value_or("");
  o.results_path = values[1].value_or("");
  o.output_path = values[2].value_or("");
  const char* missing = o.fastq_path.empty()     ? "-F"
                        : o.results_path.empty() ? "-R"
                        : o.output_path.empty()  ? "-O"
                                                 : nullptr;
  if (missing)
    throw UsageError(std::string("missing option ") + missing +
                     "\nusage: tailfetch -F<reads.fastq> -R<mapping output> -O<output.fastq>"
                     "\n(-F- reads the FASTQ from standard input)");
  if (o.fastq_path == kStandardInput && o.results_path == kStandardInput)
    throw UsageError("-F and -R cannot both read standard input ('-')");
  return o;
}

void write_read_pieces(OutputFile& out, long long read_number, std::string_view sequence,
                       std::string_view quality) {
  static constexpr std::string_view kQuality =
      "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF";
  static_assert(kQuality.size() == kPiece);
  if (sequence.size() <= kShortest) return;
  if (sequence.size() <= kPiece) {
    write_record(out, read_number, 1, sequence, quality);
    return;
  }
  int piece = 0;
  while (sequence.size() >= kPiece) {
    write_record(out, read_number, ++piece, sequence.substr(0, kPiece), kQuality);
    sequence.remove_prefix(kPiece);
  }
  if (sequence.size() > kShortest)
    write_record(out, read_number, ++piece, sequence, kQuality.substr(0, sequence.size()));
}

void scan_batch_results(const std::string& source, const std::string& carried, long long batch,
                        long long batch_reads, std::vector<unsigned char>& mapped) {
  std::fill(mapped.begin(), mapped.end(), 0);
  const long long first = batch * batch_reads;
  MappingOutputReader reader(source);
  OutputFile out(carried);
  MappingOutputRecord record;
  while (reader.next(record)) {
    const long long slot = record.read_number - first;
    if (slot >= 1 && slot <= batch_reads)
      mapped[static_cast<std::size_t>(slot)] = 1;
    else
      write_mapping_output_record(out, record);
  }
  out.close();
}

void run_tailfetch(const TailfetchOptions& options, long long batch_reads) {
  // Both inputs are checked before anything is written; the results are
  // opened only where they are read, once, so that they may be a pipe.
  const std::string carried[2] = {options.results_path + "_tmp1", options.results_path + "_tmp2"};
  refuse_overwritten_inputs({{"option -O", options.output_path},
                             {"the carried results of -R", carried[0]},
                             {"the carried results of -R", carried[1]}},
                            {{"-F", options.fastq_path}, {"-R", options.results_path}});
  FastqReader reader(options.fastq_path);
  check_readable(options.results_path);
  OutputFile out(options.output_path, OutputFile::Mode::kTruncateThroughLinks);
  create_empty_file(carried[0]);
  create_empty_file(carried[1]);
  // Result records are filtered by batch instead of being held in memory;
  // a batch's reads are streamed, so only its mapped flags are kept.
  std::vector<unsigned char> mapped(static_cast<std::size_t>(batch_reads) + 1);
  for (long long batch = 0;; ++batch) {
    const std::string& source = batch == 0 ? options.results_path : carried[(batch - 1) % 2];
    scan_batch_results(source, carried[batch % 2], batch, batch_reads, mapped);
    if (write_batch(reader, out, batch, batch_reads, mapped)) break;
  }
  out.close();
}

}  // namespace quilm::tailfetch
