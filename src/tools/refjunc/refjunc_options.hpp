// Command line of refjunc: "-<letter><value>" arguments, the value glued to
// the letter.
#pragma once

#include <string>

namespace quilm::refjunc {

struct RefjuncOptions {
  std::string genome_path;      // -C: genome FASTA (chromosome names and lengths)
  std::string exon_table_path;  // -R: exon table "refFlat.txt"
  std::string transcript_hits;  // -F: mapping output of reads mapped onto transcripts
  std::string output_base;      // -O: base of a pipeline run's outputs
  std::string work_folder;      // -W: folder of refFlat-splice, junction, temp0, temp1
  long long min_gap = 0;        // -N
  long long max_gap = 0;        // -X
};

// Throws UsageError (with the usage text) when an option is missing, empty
// or, for -N and -X, not an integer, and for a long option ("--name").
// Arguments that do not begin with "-" and unknown letters are ignored with a
// warning on stderr; a repeated option keeps its last value.
RefjuncOptions param_read(int argc, const char* const* argv);

// The text of --help.
extern const char* const kRefjuncHelp;

}  // namespace quilm::refjunc
