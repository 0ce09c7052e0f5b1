// Command line of the two drivers: "-<letter><value>" per argument.
#pragma once

#include <string>
#include <vector>

#include "common/junction_file.hpp"
#include "common/provenance.hpp"
#include "common/run_config.hpp"

namespace quilm {

enum class DriverKind { kSplice, kMappingOnly };

// The program name of a driver kind: "quilm2splice" or "quilm2".
inline const char* driver_name(DriverKind kind) {
  return kind == DriverKind::kSplice ? "quilm2splice" : "quilm2";
}

// The export after the run: --bam=<file> (a .bam, .sam or .cram name),
// with --rg-id=<id> and --rg=<TAG:VALUE> for its read group.
struct BamExport {
  std::string path;  // empty: no export
  ReadGroup read_group;
  std::string dataset_path;  // -D, which config.txt does not hold
  std::string mates_path;    // --mates: the export pairs the mates
  bool name_check = true;
  bool count_pairs = false;    // the pair counts of quilm2sam go into the summary
  std::string command_line;    // the driver's, as given, for the @PG line
  std::string rescued_path;    // the run's "<output>-rescue"; empty: no rescue stage ran
  std::string summary_file;    // --summary-file: the closing summary for QC tools
  int max_hits = 0;            // --max-hits: records per read, or pairs per pair; 0: all
  std::string unmapped_fastq;  // --unmapped-fastq: prefix of the unaligned reads' FASTQ
  // Tables the export counts from its records (--sj, --sj-bed,
  // --gene-counts); empty: not written. The annotation is --junctions's.
  std::string sj_path;
  std::string sj_bed_path;
  std::string gene_counts_path;
  std::string annotation_path;
};

// The rescue stage after the final merge: --rescue, or --bam=<file> of the
// splice driver unless --no-rescue is given; --junctions=<file> (also named
// --annotation=<file>) for known junctions (a GTF/GFF annotation or a
// refjunc table).
struct RescueRequest {
  bool enabled = false;
  bool declined = false;                  // --no-rescue
  std::string junctions_path;             // empty: none
  std::vector<ChromosomeJunction> known;  // read from it before the run starts
};

struct DriverOptions {
  RunConfig config;  // paths and integers as config.txt will hold them
  std::string dataset_path;
  // --mates=<file>: mate 2 of every pair, mate 1 being the read of -D;
  // --no-name-check leaves the names of the mates uncompared.
  std::string mates_path;
  bool name_check = true;
  int segment_size_mb = kDefaultSegmentSizeMb;
  int export_all_option = 0;  // the -A value as given (the echo shows it)
  // Seed index store: --index-store=<folder> (default: "index" in the work
  // folder), --no-index-store to build every index in memory.
  std::string index_store;
  bool index_store_off = false;
  // One-letter options without a meaning for this driver, as given ("-p4");
  // they are ignored, each with a warning.
  std::vector<std::string> ignored_options;
  BamExport bam_export;
  RescueRequest rescue;
  bool remove_work = false;  // --remove-work: a successful run's work files go
};

// The store folder of a run: empty when it is off.
std::string index_store_folder(const DriverOptions& options);

// The fatal line that every refused command line ends with.
inline constexpr const char* kFatalParameterMessage =
    "Fatal error: parameter invalid (filename input error?)";

// Parses the arguments and applies the defaults of the options not given.
// Returns 1 when valid and -1 when not; `problem` then says why (for stderr).
int param_read(DriverKind kind, int argc, const char* const* argv, DriverOptions& options,
               std::string& problem);

// Values that are accepted and kept but are likely mistakes: a toggle other
// than 0 or 1, a seed length outside the cascade. One message each.
std::vector<std::string> option_warnings(DriverKind kind, const DriverOptions& options);

// The text of --help: what the driver does, every option with its meaning
// and default, and an example. Also shown with a refused long option.
std::string driver_help(DriverKind kind);

// The banner with the usage text, printed before parsing.
void print_banner(DriverKind kind);

// The parameter echo, printed after a successful parse.
void print_parameters(DriverKind kind, const DriverOptions& options);

}  // namespace quilm
