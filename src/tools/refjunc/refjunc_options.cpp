#include "tools/refjunc/refjunc_options.hpp"

#include <string_view>

#include "common/command_line.hpp"
#include "common/errors.hpp"
#include "common/whole_number.hpp"

namespace quilm::refjunc {

const char* const kRefjuncHelp =
    "usage: refjunc -C<genome.fa> -R<refFlat.txt> -F<transcript hits> -O<output base>\n"
    "               -W<work folder> -N<minimum gap> -X<maximum gap>\n"
    "Clusters the split-read hits of a quilm2splice run (<output base>-splice-high)\n"
    "and the junctions crossed by reads mapped onto transcript sequences into a\n"
    "table of junctions with their anchors and support (<work folder>/junction).\n"
    "Each value follows its letter in the same argument, as in -N10.\n"
    "  -C<file>    genome FASTA: chromosome names and lengths (required)\n"
    "  -R<file>    exon table refFlat.txt written by annoprep (required)\n"
    "  -F<file>    mapping output of reads mapped onto annoprep's refMrna_sort.fa\n"
    "              (required)\n"
    "  -O<base>    output base of a quilm2splice run on the genome (required)\n"
    "  -W<folder>  folder of refFlat-splice, junction, temp0 and temp1 (required)\n"
    "  -N<n>       shortest intron (required)\n"
    "  -X<n>       longest intron (required)\n"
    "  --help      this text\n"
    "  --version   the program's version\n"
    "Example: refjunc -Cgenome.fa -Ranno/refFlat.txt -Fhits -Oresult -W. -N10 -X50000\n";

namespace {

constexpr const char* kUsage =
    "usage: refjunc -C<genome.fa> -R<refFlat.txt> -F<transcript hits> -O<output base> "
    "-W<work folder> -N<minimum gap> -X<maximum gap>";

[[noreturn]] void usage_error(const std::string& what) {
  throw UsageError(what + "\n" + kUsage);
}

long long parse_gap(char letter, const std::string& text) {
  std::string_view digits = text;
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  long long value = 0;
  if (!parse_whole_number(digits, value))
    usage_error(std::string("option -") + letter + " needs an integer, not '" + text + "'");
  return value;
}

}  // namespace

RefjuncOptions param_read(int argc, const char* const* argv) {
  constexpr std::string_view kLetters = "CRFOWNX";
  warn_skipped_arguments("refjunc", argc, argv, kLetters, kRefjuncHelp);
  std::vector<std::string> values;
  for (const auto& value : letter_option_values(argc, argv, kLetters))
    values.push_back(value.value_or(""));
  for (std::size_t slot = 0; slot < kLetters.size(); ++slot)
    if (values[slot].empty()) usage_error(std::string("missing option -") + kLetters[slot]);
  RefjuncOptions options;
  options.genome_path = values[0];
  options.exon_table_path = values[1];
  options.transcript_hits = values[2];
  options.output_base = values[3];
  options.work_folder = values[4];
  options.min_gap = parse_gap('N', values[5]);
  options.max_gap = parse_gap('X', values[6]);
  return options;
}

}  // namespace quilm::refjunc
