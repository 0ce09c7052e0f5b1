#include "sam/quilm2sam.hpp"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <utility>

#include "common/cram_reference.hpp"
#include "common/errors.hpp"
#include "common/file_identity.hpp"
#include "common/input_file.hpp"
#include "common/output_file.hpp"
#include "common/parent_death.hpp"
#include "common/paths.hpp"
#include "common/progress_display.hpp"
#include "common/work_files.hpp"
#include "sam/dataset_reader.hpp"
#include "sam/export_tables.hpp"
#include "sam/hts_handles.hpp"
#include "sam/read_conversion.hpp"
#include "sam/run_hits.hpp"
#include "sam/run_stamp_check.hpp"
#include "sam/sam_options.hpp"
#include "sam/sam_output.hpp"
#include "sam/sam_records.hpp"
#include "sam/summary_file.hpp"
#include "sam/unmapped_fastq.hpp"

namespace quilm::sam {

namespace {

void report_renamed_reads(long count) {
  if (count == 0) return;
  std::fprintf(stderr,
               "quilm2sam: %ld read %s not %s and %s changed (invalid characters replaced by "
               "'_', cut to %zu characters)\n",
               count, count == 1 ? "name was" : "names were",
               count == 1 ? "a valid SAM name" : "valid SAM names", count == 1 ? "was" : "were",
               kMaxQnameLength);
}

// With --summary the counts go to the file, for the driver's summary;
// else on stderr.
void report_pairs(const SamOptions& options, const PairCounts& pairs) {
  if (options.mates_path.empty()) return;
  if (!options.summary_path.empty())
    write_pair_counts(options.summary_path, pairs);
  else
    print_pair_counts(stderr, pairs);
}

// Every file written (the output, its index or the stale index removed
// beside it, the pair counts) against every file read.
void refuse_overwritten_run_inputs(const SamOptions& o, bool six_files) {
  std::vector<NamedFile> inputs = {{"-R", o.reference_path}, {"-D", o.dataset_path}};
  for (const std::string& path : run_hit_file_paths(o.run_path, six_files))
    inputs.push_back({"-O", path});
  if (!o.mates_path.empty()) inputs.push_back({"--mates", o.mates_path});
  if (!o.rescued_path.empty()) inputs.push_back({"--rescued", o.rescued_path});
  std::vector<NamedFile> outputs;
  if (!o.output_path.empty() && o.output_path != "-")
    for (const char* suffix : {"", ".bai", ".crai"})
      outputs.push_back({"option -o", o.output_path + suffix});
  if (!o.summary_path.empty()) outputs.push_back({"option --summary", o.summary_path});
  if (!o.summary_file.empty()) outputs.push_back({"option --summary-file", o.summary_file});
  if (!o.unmapped_fastq.empty())
    for (const std::string& path : unmapped_fastq_paths(o.unmapped_fastq, !o.mates_path.empty()))
      outputs.push_back({"option --unmapped-fastq", path});
  if (!o.annotation_path.empty()) inputs.push_back({"--annotation", o.annotation_path});
  for (const auto& [label, path] :
       {std::pair{"option --sj", &o.sj_path}, std::pair{"option --sj-bed", &o.sj_bed_path},
        std::pair{"option --gene-counts", &o.gene_counts_path}})
    if (!path->empty()) outputs.push_back({label, *path});
  refuse_overwritten_inputs(outputs, inputs);
}

// The summary goes to its file, and on stderr unless a driver, which says
// it in its own closing summary, started the export.
void report_summary(const SamOptions& options, const SummaryCounts& counts, bool driven) {
  if (options.summary_file.empty()) return;
  const std::string text = summary_text(counts);
  write_whole_file(options.summary_file, text);
  if (!driven) std::fputs(text.c_str(), stderr);
}

// Without --unmapped the conversion stops after the last read with a hit;
// the tables count the reads after it as unmapped.
void read_to_end(RunReads& dataset) {
  DatasetRead read;
  while (dataset.next(read)) {
  }
}

// A stage's progress on stderr, as the drivers show theirs; none while SAM
// goes to stdout on a terminal and stderr is one too, where the redrawn line
// would land among the records.
std::unique_ptr<ProgressDisplay> stage_progress(const SamOptions& options, const char* stage,
                                                const char* unit) {
  if (options.output_path == "-" && stdout_is_terminal() && stderr_is_terminal()) return nullptr;
  return std::make_unique<ProgressDisplay>(std::string("quilm2sam: ") + stage, stderr,
                                           stderr_is_terminal(), stage_clock(), unit);
}

// Sorts (showing the records written), closes and indexes the output.
void finish_with_progress(const SamOptions& options, SamOutput& out) {
  const auto progress = out.sorter ? stage_progress(options, "sorted output", "records") : nullptr;
  finish_output(out, progress.get());
  if (progress) progress->finish();
}

int usage_error(const UsageError& e) {
  std::fflush(stdout);
  std::fprintf(stderr, "quilm2sam: error: %s\n%s", e.what(), sam_usage());
  return 1;
}

}  // namespace

int run_quilm2sam(int argc, const char* const* argv, bool driven) {
  SamOptions options;
  try {
    options = parse_sam_options(argc, argv);
  } catch (const UsageError& e) {
    return usage_error(e);
  }
  if (options.help) {
    std::fputs(sam_usage(), stdout);
    return 0;
  }
  // Before any thread starts; a driver's own stop removes the same files.
  if (driven && !options.output_path.empty() && options.output_path != "-")
    remove_when_terminated(export_part_path(options.output_path, getpid()));
  refuse_one_pass_input(options.reference_path, "-R", "reference");
  if (output_format(options) == OutputFormat::kCram)
    check_cram_reference(options.reference_path, "-R");
  const bool six_files = options.run_kind == RunKind::kFound
                             ? std::filesystem::exists(options.run_path + kOutputSuffixes[0])
                             : options.run_kind == RunKind::kSplice;
  refuse_overwritten_run_inputs(options, six_files);
  const std::optional<RunStamp> stamp = check_run_inputs(options, six_files);
  const ThreadPoolPtr pool = make_thread_pool(options.threads);
  // With a pool the run's files are read in its threads while this one
  // loads the reference.
  RunHitsReading reading = start_reading_run_hits(options.run_path, six_files, pool.get());
  const ReferenceGenome genome = load_reference(options.reference_path);
  const RunHits run = finish_run_hits(reading, genome);
  RunReads dataset(options.dataset_path, options.mates_path, options.name_check);
  const char* run_program = run.six_files ? "quilm2splice" : "quilm2";
  const bool write = !options.output_path.empty();
  if (write) check_sam_names(genome);
  SamOutput out = write
                      ? open_output(options, make_header(genome, options, run_program), pool.get())
                      : SamOutput{};
  std::vector<RescuedAlignment> rescued;
  if (!options.rescued_path.empty()) {
    std::string rescue_run;
    rescued = read_rescued_alignments(options.rescued_path, genome, &rescue_run);
    check_rescue_run(options, stamp, rescue_run);
  }
  ConversionInput input{run, genome, options.unmapped, options.read_group.id};
  input.rescued = &rescued;
  input.paired = dataset.paired();
  input.max_insert = options.max_insert;
  input.keep_records = write;
  input.mate_rescue = options.mate_rescue;
  input.max_hits = options.max_hits;
  UnmappedFastq unmapped_fastq(options.unmapped_fastq, dataset.paired());
  input.unmapped_fastq = &unmapped_fastq;
  input.read_all = !options.summary_file.empty();
  std::optional<ExportTables> tables;
  if (tables_wanted(options)) tables.emplace(options, genome, dataset.paired());
  input.tables = tables ? &*tables : nullptr;
  const auto progress = stage_progress(options, "conversion", "reads");
  input.progress = progress.get();
  input.total_reads = stamp ? static_cast<long>(stamp->reads) : -1;
  const ReadCounts counts = convert_reads(input, dataset, out, pool.get());
  if (progress) progress->finish();
  unmapped_fastq.close();
  if (tables) read_to_end(dataset);
  check_read_count(options, stamp, dataset.count());
  if (write) {
    finish_with_progress(options, out);
    std::fprintf(
        stderr, "quilm2sam: %ld records written to %s: %zu hits of %ld reads, %ld unmapped\n",
        out.records, options.output_path.c_str(), run.hits.size(), counts.mapped, counts.unmapped);
  }
  if (tables)
    write_export_tables(options, *tables, genome,
                        dataset.paired() ? dataset.count() / 2 : dataset.count());
  report_renamed_reads(counts.renamed);
  report_pairs(options, counts.pairs);
  report_summary(options, counts.summary, driven);
  return 0;
}

}  // namespace quilm::sam
