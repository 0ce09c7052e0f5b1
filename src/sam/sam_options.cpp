#include "sam/sam_options.hpp"

#include <string_view>

#include "common/errors.hpp"
#include "common/whole_number.hpp"

namespace quilm::sam {

namespace {

constexpr long kMinSortMemoryMib = 16;

// The value of "-X<value>", or the next argument when the value is not
// attached ("-X <value>").
std::string option_value(int argc, const char* const* argv, int& i) {
  const std::string_view arg = argv[i];
  if (arg.size() > 2) return std::string(arg.substr(2));
  if (i + 1 >= argc) throw UsageError(std::string("option ") + argv[i] + " needs a value");
  return argv[++i];
}

long parse_sort_memory(std::string_view text) {
  long value = 0;
  if (!parse_whole_number(text, value) || value < kMinSortMemoryMib)
    throw UsageError("--sort-memory needs a whole number of MiB, at least " +
                     std::to_string(kMinSortMemoryMib) + ", not '" + std::string(text) + "'");
  return value;
}

std::int64_t parse_max_insert(std::string_view text) {
  std::int64_t value = 0;
  if (!parse_whole_number(text, value) || value < 1 || value > (1LL << 40))
    throw UsageError("--max-insert needs a whole number of bases, at least 1, not '" +
                     std::string(text) + "'");
  return value;
}

int parse_threads(std::string_view text) {
  int value = 0;
  if (!parse_whole_number(text, value) || value < 1)
    throw UsageError("--threads needs a whole number, at least 1, not '" + std::string(text) + "'");
  return value;
}

int parse_max_hits(std::string_view text) {
  int value = 0;
  if (!parse_whole_number(text, value) || value < 1)
    throw UsageError("--max-hits needs a whole number, at least 1, not '" + std::string(text) +
                     "'");
  return value;
}

void set_once(std::string& field, std::string value, const char* option) {
  if (!field.empty()) throw UsageError(std::string("option ") + option + " is given twice");
  if (value.empty()) throw UsageError(std::string("option ") + option + " needs a value");
  field = std::move(value);
}

void parse_argument(int argc, const char* const* argv, int& i, SamOptions& o) {
  const std::string_view arg = argv[i];
  constexpr std::string_view kSortMemory = "--sort-memory=";
  constexpr std::string_view kThreads = "--threads=";
  if (arg == "--help" || arg == "-h") {
    o.help = true;
  } else if (arg == "--unmapped") {
    o.unmapped = true;
  } else if (arg == "--sort") {
    o.sort = true;
  } else if (arg.starts_with(kSortMemory)) {
    o.sort_memory_mib = parse_sort_memory(arg.substr(kSortMemory.size()));
  } else if (take_read_group_option(arg, o.read_group)) {
    // --rg-id=<id> or --rg=<TAG:VALUE>, checked once all are read
  } else if (arg.starts_with("--rescued=")) {
    o.rescued_path = std::string(arg.substr(10));
    if (o.rescued_path.empty()) throw UsageError("option --rescued=<file>: the file name is empty");
  } else if (arg == "--run-kind=splice" || arg == "--run-kind=mapping") {
    o.run_kind = arg.ends_with("splice") ? RunKind::kSplice : RunKind::kMapping;
  } else if (arg.starts_with("--run-kind=")) {
    throw UsageError("option --run-kind: '" + std::string(arg.substr(11)) +
                     "' is neither splice nor mapping");
  } else if (arg.starts_with(kRunCommandOption)) {
    o.run_command = arg.substr(kRunCommandOption.size());
    if (o.run_command.empty()) throw UsageError("option --pg-cl=<command line> needs a value");
  } else if (arg.starts_with("--mates=")) {
    set_once(o.mates_path, std::string(arg.substr(8)), "--mates");
  } else if (arg == "--mate-rescue") {
    o.mate_rescue = true;
  } else if (arg == "--no-name-check") {
    o.name_check = false;
  } else if (arg.starts_with("--max-insert=")) {
    o.max_insert = parse_max_insert(arg.substr(13));
  } else if (arg.starts_with("--summary=")) {
    set_once(o.summary_path, std::string(arg.substr(10)), "--summary");
  } else if (arg.starts_with("--summary-file=")) {
    set_once(o.summary_file, std::string(arg.substr(15)), "--summary-file");
  } else if (arg.starts_with("--max-hits=")) {
    o.max_hits = parse_max_hits(arg.substr(11));
  } else if (arg.starts_with("--unmapped-fastq=")) {
    set_once(o.unmapped_fastq, std::string(arg.substr(17)), "--unmapped-fastq");
  } else if (arg.starts_with("--sj=")) {
    set_once(o.sj_path, std::string(arg.substr(5)), "--sj");
  } else if (arg.starts_with("--sj-bed=")) {
    set_once(o.sj_bed_path, std::string(arg.substr(9)), "--sj-bed");
  } else if (arg.starts_with("--gene-counts=")) {
    set_once(o.gene_counts_path, std::string(arg.substr(14)), "--gene-counts");
  } else if (arg.starts_with("--annotation=")) {
    set_once(o.annotation_path, std::string(arg.substr(13)), "--annotation");
  } else if (arg.starts_with(kThreads)) {
    o.threads = parse_threads(arg.substr(kThreads.size()));
  } else if (arg.size() >= 2 && arg[0] == '-' && arg[1] != '-') {
    std::string* fields[] = {&o.reference_path, &o.dataset_path, &o.run_path, &o.output_path};
    const std::string_view letters = "RDOo";
    const auto which = letters.find(arg[1]);
    if (which == std::string_view::npos)
      throw UsageError("unknown option '" + std::string(arg) + "'");
    const char option[] = {'-', arg[1], '\0'};
    set_once(*fields[which], option_value(argc, argv, i), option);
  } else if (arg == "-") {
    throw UsageError("'-' is a value only: of -D (standard input) or of -o (stdout)");
  } else {
    throw UsageError("unknown argument '" + std::string(arg) + "'");
  }
}

void check_complete(const SamOptions& o) {
  if (o.reference_path.empty()) throw UsageError("the reference (-R) is missing");
  if (o.dataset_path.empty()) throw UsageError("the dataset (-D) is missing");
  if (o.run_path.empty()) throw UsageError("the run's output (-O) is missing");
  if (o.output_path.empty() && o.summary_path.empty() && o.summary_file.empty())
    throw UsageError("the output (-o) is missing");
  if (o.summary_path.empty() == false && o.mates_path.empty())
    throw UsageError("--summary counts the pairs of --mates=<file>, which is not given");
  if (o.mate_rescue && o.mates_path.empty())
    throw UsageError("--mate-rescue searches the mates of --mates=<file>, which is not given");
  if (!o.name_check && o.mates_path.empty())
    throw UsageError("--no-name-check applies to the mates of --mates=<file>, which is not given");
  if (!o.mates_path.empty() && o.mates_path == o.dataset_path)
    throw UsageError("--mates=" + o.mates_path + " names the file of -D; give the second mates");
  if (o.sort && o.output_path == "-")
    throw UsageError("--sort needs an output file, beside which its temporary runs lie");
  if ((!o.sj_path.empty() || !o.sj_bed_path.empty() || !o.gene_counts_path.empty()) &&
      o.output_path.empty())
    throw UsageError(
        "--sj, --sj-bed and --gene-counts count the records of -o, which is not given");
  if (!o.gene_counts_path.empty() && o.annotation_path.empty())
    throw UsageError("--gene-counts needs the genes of --annotation=<GTF/GFF>, which is not given");
  const std::string problem = read_group_problem(o.read_group);
  if (!problem.empty()) throw UsageError(problem);
}

}  // namespace

const char* sam_usage() {
  return "Usage: quilm2sam -R<reference> -D<dataset> -O<run> -o <output> [--unmapped] [--sort]\n"
         "                 [--sort-memory=<MiB>] [--threads=<n>] [--rg-id=<id> "
         "[--rg=<TAG:VALUE>]...]\n"
         "                 [--pg-cl=<command line>] [--run-kind=<kind>]\n"
         "                 [--mates=<file> [--no-name-check] [--max-insert=<bases>]\n"
         "                 [--summary=<file>] [--mate-rescue]]\n"
         "                 [--rescued=<file>] [--summary-file=<file>] [--max-hits=<n>]\n"
         "                 [--unmapped-fastq=<prefix>]\n"
         "                 [--sj=<file>] [--sj-bed=<file>] [--gene-counts=<file>]\n"
         "                 [--annotation=<file>]\n"
         "Writes the hits of a finished run as SAM, BAM or CRAM.\n"
         "  -R<reference>       reference FASTA of the run (plain or gzip)\n"
         "  -D<dataset>         FASTQ dataset of the run (plain or gzip, '-' for standard\n"
         "                      input); names and qualities\n"
         "  -O<run>             output base of a quilm2splice run (its six files), or the\n"
         "                      output file of a quilm2 run\n"
         "  -o <output>         BAM when the name ends in .bam, CRAM (against -R) when it\n"
         "                      ends in .cram, SAM otherwise, '-' for SAM on stdout\n"
         "  --unmapped          add every read without a hit as an unmapped record\n"
         "  --sort              sorted by coordinate, with a .bai (BAM) or .crai (CRAM) index\n"
         "  --sort-memory=<MiB> memory for sorting before runs spill to disk (default 768)\n"
         "  --threads=<n>       threads for converting, sorting and compressing (default 1)\n"
         "  --rg-id=<id>        an @RG line with this ID and RG:Z:<id> on every record\n"
         "  --rg=<TAG:VALUE>    one more field of the @RG line (repeatable, in order)\n"
         "  --pg-cl=<text>      the command line of the run, for its @PG line before ours\n"
         "  --run-kind=<kind>   splice: -O is the base of the six files of quilm2splice;\n"
         "                      mapping: -O is the output file of quilm2 (default: the six\n"
         "                      files when <run>-quilm2high exists)\n"
         "  --rescued=<file>    the <run>-rescue file of quilm2splice --rescue: a read's\n"
         "                      rescued alignments replace its hits when they score\n"
         "                      higher, marked XR:Z:<kind>\n"
         "  --mates=<file>      paired reads: mate 2 of each pair (mate 1 is the read\n"
         "                      of -D; the run numbered them 1, 2 for pair 1, 3, 4 ...);\n"
         "                      both mates are written as a pair, named as mate 1\n"
         "                      without a trailing /1 or /2\n"
         "  --no-name-check     the names of two mates need not agree\n"
         "  --max-insert=<n>    longest concordant pair, from the first base of one\n"
         "                      mate to the last of the other, introns included\n"
         "                      (default 500000)\n"
         "  --summary=<file>    the pair counts written to <file>; without -o only\n"
         "                      the counts are made\n"
         "  --mate-rescue       a mate without a hit is searched within 1000 bases of\n"
         "                      its mate's hit, facing it (marked XR:Z:mate)\n"
         "  --summary-file=<f>  the closing summary, in the layout QC tools read\n"
         "  --max-hits=<n>      at most n records per read, n concordant pairs per pair\n"
         "                      (default: all)\n"
         "  --unmapped-fastq=<p> the reads without an alignment to <p>.fq (pairs of\n"
         "                      such mates to <p>_1.fq, <p>_2.fq; gzip when <p>\n"
         "                      ends in .gz)\n"
         "  --sj=<file>         the introns of the records written: a junction table\n"
         "  --sj-bed=<file>     the same introns as BED12\n"
         "  --gene-counts=<file> reads (pairs) per gene of --annotation, unstranded and\n"
         "                      stranded both ways\n"
         "  --annotation=<file> GTF/GFF: genes for --gene-counts, known introns for --sj\n"
         "                      (or a refjunc junction table)\n"
         "  --help              this text\n"
         "  --version           the program's version\n"
         "Example: quilm2sam -Rgenome.fa -Dreads.fq.gz -Oresult -o result.bam --sort\n";
}

OutputFormat output_format(const SamOptions& options) {
  const std::string& out = options.output_path;
  if (out.size() > 4 && out.ends_with(".bam")) return OutputFormat::kBam;
  if (out.size() > 5 && out.ends_with(".cram")) return OutputFormat::kCram;
  return OutputFormat::kSam;
}

SamOptions parse_sam_options(int argc, const char* const* argv) {
  SamOptions o;
  for (int i = 1; i < argc; ++i) parse_argument(argc, argv, i, o);
  o.command_line = command_line_of(argc, argv);
  if (!o.help) check_complete(o);
  return o;
}

}  // namespace quilm::sam
