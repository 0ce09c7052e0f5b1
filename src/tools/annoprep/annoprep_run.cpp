#include "tools/annoprep/annoprep_run.hpp"

#include <filesystem>
#include <string>
#include <vector>

#include "common/annotation_reading.hpp"
#include "common/errors.hpp"
#include "common/fasta_text.hpp"
#include "common/file_identity.hpp"
#include "common/input_file.hpp"
#include "common/output_file.hpp"
#include "common/paths.hpp"
#include "tools/annoprep/genome_reading.hpp"
#include "tools/annoprep/refflat_writing.hpp"
#include "tools/annoprep/staged_file.hpp"
#include "tools/annoprep/transcript_sequences.hpp"
#include "tools/annoprep/transcript_table.hpp"

namespace quilm::annoprep {

namespace {

// The three files that grow chromosome by chromosome.
struct ChromosomeOutputs {
  OutputFile refflat;
  OutputFile refflat_info;
  OutputFile mrna;
};

void process_chromosome(const std::string& name, const std::string& sequence,
                        const AnnotationExons& annotation, AnnotationType type,
                        ChromosomeOutputs& out, std::ostream& warnings, AnnoprepSummary& summary) {
  auto found = annotation.find(name);
  if (found == annotation.end() || found->second.lines.empty()) return;
  const ChromosomeExons& exons = found->second;
  TranscriptTable table = transcriptid_sort(exons, name);
  if (type == AnnotationType::kGtf) {
    transcriptinfo_stack(exons, table, out.refflat, out.refflat_info);
  } else {
    gffinfo_stack(exons, table, out.refflat, out.refflat_info);
  }
  summary.warned += refMrna_create(table, sequence, out.mrna, warnings);
  summary.chromosomes += 1;
  summary.transcripts += static_cast<long>(table.entries.size());
  summary.exons += static_cast<long>(exons.lines.size());
}

// Every genome record in file order; a name that occurs twice is processed twice.
void process_genome(const std::string& genome_path, const std::vector<long>& lengths,
                    const AnnotationExons& annotation, AnnotationType type, ChromosomeOutputs& out,
                    std::ostream& warnings, AnnoprepSummary& summary) {
  InputFile genome(genome_path);
  if (!skip_to_first_record(genome)) return;
  std::string name;
  std::string sequence;
  std::size_t record = 0;
  bool more = true;
  while (more) {
    if (record < lengths.size()) sequence.reserve(static_cast<std::size_t>(lengths[record]));
    ++record;
    more = fasta_read(genome, name, sequence);
    process_chromosome(name, sequence, annotation, type, out, warnings, summary);
  }
}

void check_output_folder(const std::string& folder) {
  std::error_code ec;
  if (!std::filesystem::is_directory(folder, ec))
    throw IoError("output folder (-W) '" + folder + "' does not exist or is not a folder");
}

constexpr const char* kOutputNames[] = {"genome_info", "refFlat.txt", "refFlat_info", "refMrna.fa",
                                        "refMrna_sort.fa"};

// Each output is written under its temporary name and then renamed over its
// final one: neither may be the genome or the annotation.
void refuse_overwritten_inputs(const AnnoprepOptions& options) {
  std::vector<NamedFile> outputs;
  for (const char* name : kOutputNames) {
    const std::string path = join_path(options.output_folder, name);
    outputs.push_back({"option -W", path});
    outputs.push_back({"option -W", StagedFile::temporary_path_of(path)});
  }
  quilm::refuse_overwritten_inputs(outputs,
                                   {{"-F", options.genome_path}, {"-G", options.annotation_path}});
}

}  // namespace

AnnoprepSummary annoprep_run(const AnnoprepOptions& options, std::ostream& warnings) {
  const AnnotationType type = checked_annotation_type(options);
  check_output_folder(options.output_folder);
  refuse_overwritten_inputs(options);
  InputFile{options.genome_path};  // an unreadable genome stops the run before any work
  const AnnotationExons annotation = type == AnnotationType::kGtf
                                         ? transcriptid_stack(options.annotation_path)
                                         : gff_stack(options.annotation_path);

  const std::string& folder = options.output_folder;
  StagedFile genome_info(join_path(folder, kOutputNames[0]));
  StagedFile refflat(join_path(folder, kOutputNames[1]));
  StagedFile refflat_info(join_path(folder, kOutputNames[2]));
  StagedFile mrna(join_path(folder, kOutputNames[3]));
  StagedFile mrna_sorted(join_path(folder, kOutputNames[4]));

  const GenomeSizes sizes = fasta_info(options.genome_path, genome_info.path());
  // One write per warning: the stream may be unbuffered stderr.
  if (sizes.blanks > 0)
    warnings << ("annoprep: warning: " + skipped_blanks_warning(options.genome_path, sizes.blanks) +
                 "\n");
  const std::vector<long>& lengths = sizes.lengths;
  AnnoprepSummary summary;
  ChromosomeOutputs out{OutputFile(refflat.path()), OutputFile(refflat_info.path()),
                        OutputFile(mrna.path())};
  process_genome(options.genome_path, lengths, annotation, type, out, warnings, summary);
  out.refflat.close();
  out.refflat_info.close();
  out.mrna.close();
  refMrna_sort(mrna.path(), mrna_sorted.path());

  for (StagedFile* file : {&genome_info, &refflat, &refflat_info, &mrna, &mrna_sorted})
    file->commit();
  return summary;
}

}  // namespace quilm::annoprep
