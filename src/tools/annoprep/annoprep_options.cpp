#include "tools/annoprep/annoprep_options.hpp"

#include "common/command_line.hpp"
#include "common/errors.hpp"

namespace quilm::annoprep {

const char* const kAnnoprepUsage =
    "usage: annoprep -F<genome FASTA> -G<annotation> -T<gtf|gff> -W<output folder>\n"
    "  (each value follows its letter in the same argument, as in -Fgenome.fa)";

const char* const kAnnoprepHelp =
    "usage: annoprep -F<genome FASTA> -G<annotation> -T<gtf|gff> -W<output folder>\n"
    "Writes an exon table (refFlat.txt, refFlat_info) and transcript sequences\n"
    "(refMrna.fa, refMrna_sort.fa) from a genome and its GTF or GFF annotation,\n"
    "with the genome's sequence lengths in genome_info.\n"
    "Each value follows its letter in the same argument, as in -Fgenome.fa.\n"
    "  -F<file>     genome FASTA, plain or gzip (required)\n"
    "  -G<file>     annotation, GTF or GFF, plain or gzip (required)\n"
    "  -T<gtf|gff>  annotation type, lower case (required)\n"
    "  -W<folder>   output folder, an existing one (required)\n"
    "  --help       this text\n"
    "  --version    the program's version\n"
    "Example: annoprep -Fgenome.fa -Ggenes.gtf -Tgtf -Wannotation\n";

AnnoprepOptions param_read(int argc, const char* const* argv) {
  warn_skipped_arguments("annoprep", argc, argv, "FGTW", kAnnoprepHelp);
  const auto values = letter_option_values(argc, argv, "FGTW");
  AnnoprepOptions options;
  // "-F" alone names the option with an empty value.
  options.has_genome = values[0].has_value();
  options.genome_path = values[0].value_or("");
  options.has_annotation = values[1].has_value();
  options.annotation_path = values[1].value_or("");
  options.has_type = values[2].has_value();
  options.annotation_type = values[2].value_or("");
  options.has_folder = values[3].has_value();
  options.output_folder = values[3].value_or("");
  return options;
}

namespace {

void require(bool seen, const std::string& value, const char* option, const char* what) {
  if (!seen)
    throw UsageError(std::string("missing option ") + option + " (" + what + ")\n" +
                     kAnnoprepUsage);
  if (value.empty())
    throw UsageError(std::string("option ") + option + " has an empty value (" + what + ")\n" +
                     kAnnoprepUsage);
}

}  // namespace

AnnotationType checked_annotation_type(const AnnoprepOptions& options) {
  require(options.has_genome, options.genome_path, "-F", "genome FASTA");
  require(options.has_annotation, options.annotation_path, "-G", "annotation file");
  require(options.has_type, options.annotation_type, "-T", "annotation type");
  require(options.has_folder, options.output_folder, "-W", "output folder");
  if (options.annotation_type == "gtf") return AnnotationType::kGtf;
  if (options.annotation_type == "gff") return AnnotationType::kGff;
  throw UsageError("option -T must be \"gtf\" or \"gff\" (lower case), not \"" +
                   options.annotation_type + "\"\n" + kAnnoprepUsage);
}

}  // namespace quilm::annoprep
