// The command line of annoprep: four options, each written as "-" + letter +
// value in one argument ("-Fgenome.fa").
#pragma once

#include <string>

namespace quilm::annoprep {

enum class AnnotationType { kGtf, kGff };

// The option values as given; a flag tells whether the option was seen.
struct AnnoprepOptions {
  std::string genome_path;      // -F
  std::string annotation_path;  // -G
  std::string annotation_type;  // -T
  std::string output_folder;    // -W
  bool has_genome = false;
  bool has_annotation = false;
  bool has_type = false;
  bool has_folder = false;
};

// Reads the options; a repeated option keeps its last value, unknown letters
// and arguments without a leading "-" are ignored with a warning on stderr.
// Throws UsageError (with the help text) for a long option ("--name").
AnnoprepOptions param_read(int argc, const char* const* argv);

// Throws UsageError (with the usage text) when an option is missing or empty,
// or when the type is neither "gtf" nor "gff".
AnnotationType checked_annotation_type(const AnnoprepOptions& options);

extern const char* const kAnnoprepUsage;

// The text of --help.
extern const char* const kAnnoprepHelp;

}  // namespace quilm::annoprep
