#include "pipeline/options.hpp"

#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/command_line.hpp"
#include "common/seed_lengths.hpp"
#include "common/store_setting.hpp"
#include "common/whole_number.hpp"

namespace quilm {

namespace {

// -F in MiB is shifted into bytes; this keeps the segment buffer addressable.
constexpr int kMaxSegmentSizeMb = 2047;
// -E: the most errors per hit that a run accepts.
constexpr int kMaxErrors = 1000;

// "Given" flags, cleared before parsing; defaults fill what was not given.
struct GivenFlags {
  bool R = false, D = false, O = false, W = false, L = false, E = false, I = false, S = false,
       S2 = false, M = false, B = false, U = false, C = false, F = false, Y = false, A = false,
       N = false, X = false;
};

enum class Digits { kOk, kNotNumber, kTooLarge };

// A numeric value: one or more decimal digits that fit an int.
Digits parse_digits(const std::string& text, int& value) {
  if (text.empty()) return Digits::kNotNumber;
  long long v = 0;
  bool too_large = false;
  for (char c : text) {
    if (c < '0' || c > '9') return Digits::kNotNumber;
    if (!too_large) v = v * 10 + (c - '0');
    too_large = too_large || v > INT_MAX;
  }
  if (too_large) return Digits::kTooLarge;
  value = static_cast<int>(v);
  return Digits::kOk;
}

// The values a numeric option accepts, for the message about one out of range.
std::string accepted_range(char letter) {
  const std::string most = std::to_string(INT_MAX);
  switch (letter) {
    case 'L':
    case 'C':
      return "1 to " + most;
    case 'E':
      return "0 to " + std::to_string(kMaxErrors);
    case 'F':
      return "1 to " + std::to_string(kMaxSegmentSizeMb);
    default:
      return "0 to " + most;
  }
}

// Sets `problem` for a value that parse_digits refused.
void number_problem(char letter, const std::string& value, Digits digits, std::string& problem) {
  problem = std::string("option -") + letter + ": '" + value + "' ";
  problem += digits == Digits::kTooLarge ? "is out of range (" + accepted_range(letter) + ")"
                                         : "is not a decimal number";
}

// -S of the splice driver: "<seed>[,<splice seed>]"; empty tokens are skipped
// as a comma split would skip them, tokens after the second are ignored.
bool parse_seed_pair(const std::string& text, DriverOptions& o, GivenFlags& g,
                     std::string& problem) {
  std::vector<std::string> tokens;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t comma = text.find(',', start);
    if (comma == std::string::npos) comma = text.size();
    if (comma > start) tokens.push_back(text.substr(start, comma - start));
    start = comma + 1;
  }
  int* const targets[] = {&o.config.seed_length, &o.config.splice_seed_length};
  bool* const flags[] = {&g.S, &g.S2};
  for (std::size_t k = 0; k < tokens.size() && k < 2; ++k) {
    const Digits digits = parse_digits(tokens[k], *targets[k]);
    if (digits == Digits::kTooLarge) {
      number_problem('S', tokens[k], digits, problem);
      return false;
    }
    if (digits != Digits::kOk) {
      problem = "option -S: '" + text + "' is not <number> or <number>,<number>";
      return false;
    }
    *flags[k] = true;
  }
  return true;
}

// The numeric one-letter options: which drivers have them, where the value
// goes, the flag that says it was given, and the value when it was not (the
// help text shows these defaults). -C has none: it must be given. The
// splice driver reads -S as "<seed>[,<splice seed>]" (parse_seed_pair).
enum class For { kBoth, kSplice, kMappingOnly };
struct NumericOption {
  char letter;
  For drivers;
  int& (*field)(DriverOptions&);
  bool GivenFlags::*given;
  int fallback;  // kRequired: no default
};
constexpr int kRequired = -1;

constexpr NumericOption kNumericOptions[] = {
    {'L', For::kBoth, [](DriverOptions& o) -> int& { return o.config.max_read_length; },
     &GivenFlags::L, kDefaultMaxReadLength},
    {'E', For::kBoth, [](DriverOptions& o) -> int& { return o.config.max_errors; }, &GivenFlags::E,
     kDefaultMaxErrors},
    {'I', For::kBoth, [](DriverOptions& o) -> int& { return o.config.indel_toggle; },
     &GivenFlags::I, kDefaultIndelToggle},
    {'S', For::kBoth, [](DriverOptions& o) -> int& { return o.config.seed_length; }, &GivenFlags::S,
     kDefaultSeedLength},
    {'M', For::kBoth, [](DriverOptions& o) -> int& { return o.config.masked_toggle; },
     &GivenFlags::M, kDefaultMaskedToggle},
    {'B', For::kBoth, [](DriverOptions& o) -> int& { return o.config.best_toggle; }, &GivenFlags::B,
     kDefaultBestToggle},
    {'U', For::kBoth, [](DriverOptions& o) -> int& { return o.config.unidirectional_toggle; },
     &GivenFlags::U, kDefaultUnidirectionalToggle},
    {'C', For::kBoth, [](DriverOptions& o) -> int& { return o.config.cpu_cores; }, &GivenFlags::C,
     kRequired},
    {'F', For::kBoth, [](DriverOptions& o) -> int& { return o.segment_size_mb; }, &GivenFlags::F,
     kDefaultSegmentSizeMb},
    {'Y', For::kBoth, [](DriverOptions& o) -> int& { return o.config.memory_reduction_toggle; },
     &GivenFlags::Y, kDefaultMemoryReductionToggle},
    {'A', For::kBoth, [](DriverOptions& o) -> int& { return o.export_all_option; }, &GivenFlags::A,
     kDefaultExportAllToggle},
    {'N', For::kSplice, [](DriverOptions& o) -> int& { return o.config.min_gap_distance; },
     &GivenFlags::N, kDefaultMinGapDistance},
    {'X', For::kSplice, [](DriverOptions& o) -> int& { return o.config.max_gap_distance; },
     &GivenFlags::X, kDefaultMaxGapDistance},
};

bool has_option(For drivers, DriverKind kind) {
  return drivers == For::kBoth || (drivers == For::kSplice) == (kind == DriverKind::kSplice);
}

const NumericOption* numeric_option(char letter) {
  for (const NumericOption& option : kNumericOptions)
    if (option.letter == letter) return &option;
  return nullptr;
}

int* numeric_target(DriverKind kind, char letter, DriverOptions& o, GivenFlags& g, bool*& flag) {
  const NumericOption* option = numeric_option(letter);
  if (!option || !has_option(option->drivers, kind)) return nullptr;
  flag = &(g.*option->given);
  return &option->field(o);
}

std::string* path_target(char letter, DriverOptions& o, GivenFlags& g) {
  switch (letter) {
    case 'R':
      g.R = true;
      return &o.config.ref_path;
    case 'D':
      g.D = true;
      return &o.dataset_path;
    case 'O':
      g.O = true;
      return &o.config.output_path;
    case 'W':
      g.W = true;
      return &o.config.work_folder;
    default:
      return nullptr;
  }
}

// Paths are stored one per line in the run's files, so a line break in one
// would corrupt them.
bool path_fits_a_line(const std::string& option, const std::string& path, std::string& problem) {
  if (path.find_first_of("\n\r") == std::string::npos) return true;
  problem = option + ": the path holds a line break (line feed or carriage return)";
  return false;
}

// Options the driver hands on to its export: true when `arg` is one (with
// `problem` set when its value is bad).
bool read_export_option(const std::string& arg, BamExport& e, std::string& problem) {
  static constexpr std::string_view kSummaryFile = "--summary-file=";
  static constexpr std::string_view kMaxHits = "--max-hits=";
  static constexpr std::string_view kUnmappedFastq = "--unmapped-fastq=";
  if (arg.starts_with(kSummaryFile)) {
    e.summary_file = arg.substr(kSummaryFile.size());
    if (e.summary_file.empty())
      problem = "option --summary-file=<file>: the file name is empty";
    else
      path_fits_a_line("option --summary-file", e.summary_file, problem);
    return true;
  }
  if (arg.starts_with(kMaxHits)) {
    const std::string text = arg.substr(kMaxHits.size());
    if (!parse_whole_number(text, e.max_hits) || e.max_hits < 1)
      problem = "option --max-hits needs a whole number, at least 1, not '" + text + "'";
    return true;
  }
  if (arg.starts_with(kUnmappedFastq)) {
    e.unmapped_fastq = arg.substr(kUnmappedFastq.size());
    if (e.unmapped_fastq.empty())
      problem = "option --unmapped-fastq=<prefix>: the prefix is empty";
    else
      path_fits_a_line("option --unmapped-fastq", e.unmapped_fastq, problem);
    return true;
  }
  return false;
}

// Options beyond the one-letter ones: "--name" or "--name=value", one argument.
bool read_long_option(DriverKind kind, std::string arg, DriverOptions& o, std::string& problem) {
  static constexpr std::string_view kStore = "--index-store=";
  if (arg.starts_with(kStore)) {
    o.index_store = arg.substr(kStore.size());
    o.index_store_off = false;
    if (!path_fits_a_line("option --index-store", o.index_store, problem)) return false;
    if (o.index_store.empty()) {
      problem = "option --index-store=<folder>: the folder is empty";
      return false;
    }
    return true;
  }
  if (arg == "--no-index-store") {
    o.index_store_off = true;
    return true;
  }
  static constexpr std::string_view kBam = "--bam=";
  if (arg.starts_with(kBam)) {
    o.bam_export.path = arg.substr(kBam.size());
    if (o.bam_export.path.empty()) {
      problem = "option --bam=<file>: the file name is empty";
      return false;
    }
    return path_fits_a_line("option --bam", o.bam_export.path, problem);
  }
  static constexpr std::string_view kMates = "--mates=";
  if (arg.starts_with(kMates)) {
    o.mates_path = arg.substr(kMates.size());
    if (o.mates_path.empty()) {
      problem = "option --mates=<file>: the file name is empty";
      return false;
    }
    return path_fits_a_line("option --mates", o.mates_path, problem);
  }
  if (arg == "--remove-work") {
    o.remove_work = true;
    return true;
  }
  if (arg == "--no-name-check") {
    o.name_check = false;
    return true;
  }
  if (take_read_group_option(arg, o.bam_export.read_group)) return true;
  if (read_export_option(arg, o.bam_export, problem)) return problem.empty();
  struct TableOption {
    std::string_view prefix;
    std::string* path;
  };
  for (const TableOption& t : {TableOption{"--sj=", &o.bam_export.sj_path},
                               TableOption{"--sj-bed=", &o.bam_export.sj_bed_path},
                               TableOption{"--gene-counts=", &o.bam_export.gene_counts_path}}) {
    if (!arg.starts_with(t.prefix)) continue;
    *t.path = arg.substr(t.prefix.size());
    const std::string name = "option " + std::string(t.prefix.substr(0, t.prefix.size() - 1));
    if (t.path->empty()) {
      problem = name + "=<file>: the file name is empty";
      return false;
    }
    return path_fits_a_line(name, *t.path, problem);
  }
  // --annotation is another name of --junctions: known junctions for the
  // rescue stage, and the genes and known introns of the export's tables.
  static constexpr std::string_view kJunctions = "--junctions=";
  static constexpr std::string_view kAnnotation = "--annotation=";
  const bool junctions = arg.starts_with(kJunctions) || arg.starts_with(kAnnotation);
  if ((arg == "--rescue" || arg == "--no-rescue") && kind != DriverKind::kSplice) {
    problem = "option " + arg.substr(0, arg.find('=')) +
              ": the rescue stage runs after the splice stage; use quilm2splice";
    return false;
  }
  if (arg == "--rescue") {
    o.rescue.enabled = true;
    return true;
  }
  if (arg == "--no-rescue") {
    o.rescue.declined = true;
    return true;
  }
  if (junctions) {
    const std::string name = arg.substr(0, arg.find('='));
    o.rescue.junctions_path = arg.substr(name.size() + 1);
    if (o.rescue.junctions_path.empty()) {
      problem = "option " + name + "=<file>: the file name is empty";
      return false;
    }
    return path_fits_a_line("option " + name, o.rescue.junctions_path, problem);
  }
  problem = with_help("unknown option '" + arg + "'", driver_help(kind));
  return false;
}

// Reads the arguments in order; false with a reason on the first bad one.
bool read_arguments(DriverKind kind, int argc, const char* const* argv, DriverOptions& o,
                    GivenFlags& g, std::string& problem) {
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    // --threads=<n> is -C<n> under the name other programs give it.
    static constexpr std::string_view kThreads = "--threads=";
    const bool threads = std::string_view(arg).starts_with(kThreads);
    const std::string as_letter = threads ? "-C" + std::string(arg + kThreads.size()) : "";
    if (threads) arg = as_letter.c_str();
    if (arg[0] != '-') {
      problem = std::string("argument '") + arg + "' is not an option (-<letter><value>)";
      return false;
    }
    if (arg[1] == '-') {
      if (!read_long_option(kind, arg, o, problem)) return false;
      continue;
    }
    const char letter = arg[1];
    const std::string value = std::strlen(arg) > 2 ? std::string(arg + 2) : std::string();
    if (std::string* path = path_target(letter, o, g)) {
      if (!path_fits_a_line(std::string("option -") + letter, value, problem)) return false;
      *path = value;
    } else if (letter == 'S' && kind == DriverKind::kSplice) {
      if (!parse_seed_pair(value, o, g, problem)) return false;
    } else {
      bool* flag = nullptr;
      int* target = numeric_target(kind, letter, o, g, flag);
      if (!target) {  // letters without a meaning are ignored
        o.ignored_options.push_back(arg);
        continue;
      }
      const Digits digits = parse_digits(value, *target);
      if (digits != Digits::kOk) {
        number_problem(letter, value, digits, problem);
        if (threads) problem.replace(0, std::strlen("option -C"), "option --threads (-C)");
        return false;
      }
      *flag = true;
    }
  }
  return true;
}

// The export writes BAM, SAM or CRAM by the name's ending; any other name
// (a folder, "-", /dev/stdout) would leave the format to chance.
bool check_bam_options(const BamExport& e, std::string& problem) {
  problem = read_group_problem(e.read_group);
  if (!problem.empty()) return false;
  const ReadGroup& rg = e.read_group;
  if (e.path.empty() && (rg.id_given || !rg.fields.empty())) {
    problem = "options --rg-id and --rg label the records of --bam=<file>, which is not given";
    return false;
  }
  if (e.path.empty() && (!e.summary_file.empty() || e.max_hits > 0 || !e.unmapped_fastq.empty())) {
    problem =
        "options --summary-file, --max-hits and --unmapped-fastq belong to the export of "
        "--bam=<file>, which is not given";
    return false;
  }
  if (e.path.empty()) return true;
  const std::filesystem::path name(e.path);
  const std::string ending = name.extension().string();
  if (name.stem().empty() || (ending != ".bam" && ending != ".sam" && ending != ".cram")) {
    problem = "option --bam=" + e.path + ": the file name must end in .bam, .sam or .cram";
    return false;
  }
  return true;
}

// The export's tables need the export, and the genes need an annotation;
// an annotation serves the rescue stage or the tables.
bool check_table_options(const DriverOptions& o, std::string& problem) {
  const BamExport& e = o.bam_export;
  const bool tables = !e.sj_path.empty() || !e.sj_bed_path.empty() || !e.gene_counts_path.empty();
  if (tables && e.path.empty())
    problem =
        "options --sj, --sj-bed and --gene-counts count the records of --bam=<file>, which "
        "is not given";
  else if (!e.gene_counts_path.empty() && o.rescue.junctions_path.empty())
    problem = "option --gene-counts needs the genes of --annotation=<GTF/GFF>, which is not given";
  else if (!o.rescue.junctions_path.empty() && !o.rescue.enabled && !tables)
    problem = o.rescue.declined
                  ? "option --junctions=<file> (--annotation) gives known junctions to the rescue "
                    "stage, which --no-rescue turns off, or annotates the tables of --sj and "
                    "--gene-counts, none of which is given"
                  : "option --junctions=<file> (--annotation) gives known junctions to --rescue "
                    "(or --bam) or annotates the tables of --sj and --gene-counts, none of which "
                    "is given";
  return problem.empty();
}

bool check_values(const DriverOptions& o, const GivenFlags& g, std::string& problem) {
  const RunConfig& c = o.config;
  struct Need {
    bool ok;
    std::string what;
  };
  const Need needs[] = {
      {!c.work_folder.empty(), "-W (work folder) is missing or empty"},
      {!c.ref_path.empty(), "-R (reference) is missing or empty"},
      {!o.dataset_path.empty(), "-D (dataset) is missing or empty"},
      {!c.output_path.empty(), "-O (output) is missing or empty"},
      {g.C && c.cpu_cores >= 1, "-C (worker processes) is missing or below 1"},
      {!g.L || c.max_read_length > 0, "-L must be greater than 0"},
      {!g.E || c.max_errors <= kMaxErrors, "-E must be at most " + std::to_string(kMaxErrors)},
      {!g.I || c.indel_toggle >= 0, "-I must not be negative"},
      {!g.S || c.seed_length >= 0, "-S must not be negative"},
      {!g.M || c.masked_toggle >= 0, "-M must not be negative"},
      {!g.F || o.segment_size_mb > 0, "-F must be greater than 0"},
  };
  for (const Need& n : needs) {
    if (!n.ok) {
      problem = n.what;
      return false;
    }
  }
  if (o.segment_size_mb > kMaxSegmentSizeMb) {
    problem = "-F must be at most " + std::to_string(kMaxSegmentSizeMb) + " (MiB)";
    return false;
  }
  if (o.rescue.enabled && o.rescue.declined) {
    problem = "options --rescue and --no-rescue contradict each other; give one of them";
    return false;
  }
  if (!check_table_options(o, problem)) return false;
  if (!o.name_check && o.mates_path.empty()) {
    problem = "option --no-name-check applies to the mates of --mates=<file>, which is not given";
    return false;
  }
  return check_bam_options(o.bam_export, problem);
}

void apply_defaults(DriverKind kind, DriverOptions& o, const GivenFlags& g) {
  RunConfig& c = o.config;
  // Every default is applied whatever the driver: the echo shows them all.
  for (const NumericOption& option : kNumericOptions)
    if (option.fallback != kRequired && !(g.*option.given)) option.field(o) = option.fallback;
  if (!g.S2) c.splice_seed_length = kDefaultSpliceSeedLength;
  c.has_splice_line = kind == DriverKind::kSplice;
  // The splice driver always keeps every best hit; the echo shows the -A value.
  c.export_all_toggle = kind == DriverKind::kSplice ? 1 : o.export_all_option;
}

}  // namespace

std::string index_store_folder(const DriverOptions& options) {
  if (options.index_store_off) return {};
  if (!options.index_store.empty()) return options.index_store;
  return default_index_store(options.config.work_folder);
}

int param_read(DriverKind kind, int argc, const char* const* argv, DriverOptions& options,
               std::string& problem) {
  GivenFlags given;
  bool ok = read_arguments(kind, argc, argv, options, given, problem);
  // The export of the splice driver takes the rescued alignments: the
  // accurate path is what --bam gives unless --no-rescue asks for less.
  RescueRequest& rescue = options.rescue;
  if (kind == DriverKind::kSplice && !options.bam_export.path.empty() && !rescue.declined)
    rescue.enabled = true;
  ok = ok && check_values(options, given, problem);
  apply_defaults(kind, options, given);
  return ok ? 1 : -1;
}

std::vector<std::string> option_warnings(DriverKind kind, const DriverOptions& o) {
  const RunConfig& c = o.config;
  std::vector<std::string> warnings;
  const std::pair<char, int> toggles[] = {
      {'I', c.indel_toggle},          {'M', c.masked_toggle},           {'B', c.best_toggle},
      {'U', c.unidirectional_toggle}, {'Y', c.memory_reduction_toggle}, {'A', o.export_all_option}};
  for (const auto& [letter, value] : toggles) {
    if (value == 0 || value == 1) continue;
    const std::string v = std::to_string(value);
    warnings.push_back(std::string("option -") + letter + v + ": a toggle is 0 or 1; " + v +
                       " is kept as given and may turn the option's work, or the mapping, off");
  }
  const auto seed_warning = [&](const char* what, int seed, const char* stage) {
    if (is_cascade_seed(seed)) return;
    warnings.push_back(std::string("option -S: ") + what + " " + std::to_string(seed) +
                       " is not one of 14, 12, 10, 8, 6, so " + stage + " runs");
  };
  seed_warning("seed length", c.seed_length, "no mapping cycle");
  if (kind == DriverKind::kSplice)
    seed_warning("splice seed length", c.splice_seed_length, "no splice stage");
  return warnings;
}

namespace {

// One line of the help text; `drivers` says which driver has the option. In
// a letter option's meaning "{default}" stands for its default value.
struct HelpLine {
  For drivers;
  const char* option;
  const char* meaning;
};

constexpr HelpLine kHelpLines[] = {
    {For::kBoth, "-R<FASTA>", "reference genome, plain or gzip (required)"},
    {For::kBoth, "-D<FASTQ>", "reads, plain or gzip (required)"},
    {For::kSplice, "-O<base>",
     "output base of the six files <base>-quilm2high, -quilm2low,\n"
     "-quilm2mutil, -splice-high, -splice-low, -splice-mutil\n(required)"},
    {For::kMappingOnly, "-O<file>",
     "output file of the merged hits, and <file>.config\n(required)"},
    {For::kBoth, "-W<folder>", "work folder, created with its parents (required)"},
    {For::kBoth, "-C<n>", "worker processes (required)"},
    {For::kBoth, "-L<n>", "maximum read length, also the overlap of segments\n(default {default})"},
    {For::kBoth, "-E<n>", "maximum errors per hit, at most {most errors} (default {default})"},
    {For::kBoth, "-I<0|1>", "indel detection (default {default})"},
    {For::kSplice, "-S<n>[,<m>]",
     "shortest seed of the cascade (14, 12, 10, 8 or 6), and\n"
     "the seed of the splice stage (default {default},{splice default})"},
    {For::kMappingOnly, "-S<n>",
     "shortest seed of the cascade: 14, 12, 10, 8 or 6\n(default {default})"},
    {For::kBoth, "-M<0|1>", "masked genome: lower-case bases never match (default {default})"},
    {For::kBoth, "-B<0|1>", "best mode (1) or first-hit mode (0) (default {default})"},
    {For::kBoth, "-U<0|1>", "search the forward strand only (default {default})"},
    {For::kBoth, "-F<MiB>", "reference segment size, at most {most MiB} (default {default})"},
    {For::kBoth, "-Y<0|1>", "memory-reduced seed-14 index (default {default})"},
    {For::kSplice, "-A<0|1>",
     "shown in the parameter echo only: every best hit is\nkept (default {default})"},
    {For::kMappingOnly, "-A<0|1>", "write every best hit instead of the first (default {default})"},
    {For::kSplice, "-N<n>", "shortest intron (default {default})"},
    {For::kSplice, "-X<n>", "longest intron (default {default})"},
    {For::kBoth, "--threads=<n>", "the same as -C<n>"},
    {For::kBoth, "--mates=<file>",
     "paired reads: mate 2 of each pair, mate 1 being the\n"
     "read of -D; reads are numbered 1, 2 (pair 1), 3, 4 ..."},
    {For::kBoth, "--no-name-check", "with --mates: the mates' names need not agree"},
    {For::kBoth, "--index-store=<folder>",
     "where the workers keep their seed indexes\n(default <work folder>/index)"},
    {For::kBoth, "--no-index-store", "build every seed index in memory and store none"},
    {For::kBoth, "--bam=<file>",
     "after the run, a coordinate-sorted, indexed BAM of\nevery read (.sam: SAM, .cram: CRAM)"},
    {For::kBoth, "--rg-id=<id>", "with --bam: an @RG line and RG:Z:<id> on every record"},
    {For::kBoth, "--rg=<TAG:VALUE>", "with --bam: one more @RG field (repeatable)"},
    {For::kBoth, "--summary-file=<file>",
     "with --bam: the closing summary, in the layout QC tools read"},
    {For::kBoth, "--max-hits=<n>", "with --bam: at most n records per read (pairs per pair)"},
    {For::kBoth, "--unmapped-fastq=<p>",
     "with --bam: the reads without an alignment to <p>.fq\n(pairs: <p>_1.fq, <p>_2.fq; gzip for "
     "<p> ending in .gz)"},
    {For::kSplice, "--rescue",
     "after the final merge, align the reads left unmapped or\n"
     "with errors once more, with introns, indels and clipped\n"
     "ends, into <base>-rescue (the default with --bam)"},
    {For::kSplice, "--no-rescue", "with --bam: export the run's hits without the rescue stage"},
    {For::kSplice, "--junctions=<file>",
     "with --rescue or --bam: known junctions from a GTF/GFF\nannotation or a refjunc junction "
     "table\n"
     "(--annotation=<file> is the same)"},
    {For::kBoth, "--annotation=<file>",
     "the same as --junctions; also the genes of --gene-counts\nand the known introns of --sj"},
    {For::kBoth, "--sj=<file>", "with --bam: a junction table of the BAM's introns"},
    {For::kBoth, "--sj-bed=<file>", "with --bam: the same introns as BED12"},
    {For::kBoth, "--gene-counts=<file>",
     "with --bam and --annotation: reads (pairs) per gene,\nunstranded and stranded both ways"},
    {For::kBoth, "--remove-work",
     "after a successful run, remove its files from the work\nfolder (the index store stays)"},
    {For::kBoth, "--help", "this text"},
    {For::kBoth, "--version", "the program's version"},
};

// The option in a column of its own and its meaning beside it, one line per
// '\n'; a meaning starts below an option too long for the column.
void append_help_line(std::string& text, const char* option, std::string_view meaning) {
  constexpr std::size_t kColumn = 20;
  std::string row = std::string("  ") + option;
  if (row.size() >= kColumn) {
    text += row + "\n";
    row.clear();
  }
  while (true) {
    const std::size_t br = meaning.find('\n');
    row.resize(kColumn, ' ');
    text += row + std::string(meaning.substr(0, br)) + "\n";
    row.clear();
    if (br == std::string_view::npos) break;
    meaning.remove_prefix(br + 1);
  }
}

void replace_all(std::string& text, std::string_view from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at))
    text.replace(at, from.size(), to), at += to.size();
}

// The meaning of a help line with the values of the option table put in.
std::string filled_meaning(const HelpLine& line) {
  std::string meaning = line.meaning;
  const NumericOption* option =
      line.option[0] == '-' && line.option[1] != '-' ? numeric_option(line.option[1]) : nullptr;
  if (option) replace_all(meaning, "{default}", std::to_string(option->fallback));
  replace_all(meaning, "{splice default}", std::to_string(kDefaultSpliceSeedLength));
  replace_all(meaning, "{most errors}", std::to_string(kMaxErrors));
  replace_all(meaning, "{most MiB}", std::to_string(kMaxSegmentSizeMb));
  return meaning;
}

// The parameter echo: each driver's lines in its own order, each with the
// value of the option of its letter ('s': the splice seed of -S).
struct EchoLine {
  const char* label;
  char letter;
  const char* unit = "";
};

constexpr EchoLine kSpliceEcho[] = {
    {"Maximum read length", 'L'},
    {"Maximum errors allowed", 'E'},
    {"Indel detection", 'I'},
    {"Minimum Seed length of Quilm2", 'S'},
    {"Use masked genome", 'M'},
    {"Best", 'B'},
    {"Unidirectional", 'U'},
    {"Memory Reduction", 'Y'},
    {"Export all locations", 'A'},
    {"Min. Gap Distance", 'N'},
    {"Max. Gap Distance", 'X'},
    {"Minimum Seed length of Splice", 's'},
    {"Reference genome", 'R'},
    {"Sequencing reads dataset", 'D'},
    {"Output file", 'O'},
    {"Parallel CPU core number", 'C'},
    {"split ref. seq. segment", 'F', "M"},
    {"Work Folder", 'W'},
};

constexpr EchoLine kMappingEcho[] = {
    {"Reference genome", 'R'},
    {"Sequencing reads dataset", 'D'},
    {"Output file", 'O'},
    {"Maximum read length", 'L'},
    {"Maximum errors allowed", 'E'},
    {"Indel detection", 'I'},
    {"Minimum Seed length", 'S'},
    {"Use masked genome", 'M'},
    {"Best", 'B'},
    {"Unidirectional", 'U'},
    {"Parallel CPU core number", 'C'},
    {"split ref. seq. segment", 'F', "M"},
    {"Work Folder", 'W'},
    {"Memory Reduction", 'Y'},
    {"Export all locations", 'A'},
};

// The value of an option as the echo shows it.
std::string echoed_value(char letter, const DriverOptions& o) {
  if (letter == 's') return std::to_string(o.config.splice_seed_length);
  if (const NumericOption* option = numeric_option(letter))
    // The table's fields are for writing; reading one changes nothing.
    return std::to_string(option->field(const_cast<DriverOptions&>(o)));
  GivenFlags ignored;
  return *path_target(letter, const_cast<DriverOptions&>(o), ignored);
}

}  // namespace

std::string driver_help(DriverKind kind) {
  const bool splice = kind == DriverKind::kSplice;
  const std::string name = driver_name(kind);
  std::string text = "Usage: " + name + " -R<FASTA> -D<FASTQ> -O<" + (splice ? "base" : "file") +
                     "> -W<folder> -C<n> [options]\n";
  text += splice ? "Maps RNA-seq reads onto a genome with a cascade of seed lengths, then\n"
                   "maps the reads left over as split reads across introns; writes six\n"
                   "output files.\n"
                 : "Maps reads onto a genome with a cascade of seed lengths; writes all\n"
                   "merged hits to one output file.\n";
  text +=
      "Each one-letter option is one argument, its value right after the letter:\n"
      "-L100, not -L 100.\n";
  const For other = splice ? For::kMappingOnly : For::kSplice;
  for (const HelpLine& line : kHelpLines)
    if (line.drivers != other) append_help_line(text, line.option, filled_meaning(line));
  text += "Example: " + name + " -Rgenome.fa -Dreads.fq.gz -O" + (splice ? "result" : "hits") +
          " -Wwork -C2\n";
  return text;
}

void print_banner(DriverKind kind) {
  const bool splice = kind == DriverKind::kSplice;
  std::puts(splice ? "Quilm2Splice: \n" : "Quilm2: \n");
  std::puts(splice ? "Seed-and-vote mapping of short reads with splice junction detection"
                     " - 2nd generation\n================="
                   : "Seed-and-vote mapping of short reads - 2nd generation\n=================");
  std::puts("Written by the quilm2 developers; questions and reports go to the project's tracker.");
  if (splice) {
    std::puts(
        "Command-line usage:\nquilm2splice -R[ref] -D[dataset] -O[output] -L[max. read length] "
        "-E[error allowed] -I[indel toggle] -S[min. seed length of quilm2,min. seed length of "
        "splice] -M[masked toggle] -B[best toggle] -U[unidirectional toggle] -C[parallel CPU "
        "core number] -F[split ref. seq. segment size] -W[work folder] -Y[memory reduction "
        "toggle] -A[export all best locations toggle] -N[min. gap distance] -X[max. gap "
        "distance]\n");
  } else {
    std::puts(
        "Command-line usage:\nquilm2 -R[ref] -D[dataset] -O[output] -L[max. read length] "
        "-E[error allowed] -I[indel toggle] -S[min. seed length] -M[masked toggle] -B[best "
        "toggle] -U[unidirectional toggle] -C[parallel CPU core number] -F[split ref. seq. "
        "segment size] -W[work folder] -Y[memory reduction toggle] -A[export all best "
        "locations toggle]\n");
  }
  std::puts("See the README of the project for details of every option and output file.");
  std::puts("\n");
}

void print_parameters(DriverKind kind, const DriverOptions& o) {
  std::puts("Parameters:");
  for (const EchoLine& line : kind == DriverKind::kSplice ? std::span<const EchoLine>(kSpliceEcho)
                                                          : std::span<const EchoLine>(kMappingEcho))
    std::printf("    %s: %s%s\n", line.label, echoed_value(line.letter, o).c_str(), line.unit);
}

}  // namespace quilm
