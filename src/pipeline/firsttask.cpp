#include "pipeline/firsttask.hpp"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>

#include "common/command_line.hpp"
#include "common/errors.hpp"
#include "common/fasta_text.hpp"
#include "common/input_file.hpp"
#include "common/output_file.hpp"
#include "common/paths.hpp"
#include "common/progress_display.hpp"
#include "common/run_config.hpp"
#include "common/store_setting.hpp"
#include "common/work_files.hpp"
#include "pipeline/bam_export.hpp"
#include "pipeline/junction_sources.hpp"
#include "pipeline/read_preparation.hpp"
#include "pipeline/reference_memo.hpp"
#include "pipeline/run_files.hpp"
#include "pipeline/segmentation.hpp"
#include "pipeline/task_assignment.hpp"

namespace quilm {

namespace {

// With -M1 lower-case bases are masked; a soft-masked reference then leaves
// most reads without a seed or a match.
void warn_if_soft_masked(const char* program, const DriverOptions& o, const FastaSummary& ref) {
  if (o.config.masked_toggle != 1 || ref.lower_case * 2 <= ref.letters) return;
  char share[32];
  std::snprintf(share, sizeof share, "%.1f%%",
                100.0 * static_cast<double>(ref.lower_case) / static_cast<double>(ref.letters));
  print_warning(program,
                std::string(share) + " of the letters of reference '" + o.config.ref_path +
                    "' are lower case (soft-masked); with -M1 they are masked and reads on them "
                    "do not map: give -M0 to map onto them");
}

// The export writes the names into @SQ and RNAME, where a forbidden one is
// misread: refused when the run exports, said when it does not, as the six
// files keep any name but a later export of them refuses it.
void check_reference_names(const char* program, const DriverOptions& o, const FastaSummary& ref) {
  const std::string problem = forbidden_sam_name(o.config.ref_path, ref);
  if (problem.empty()) return;
  if (!o.bam_export.path.empty())
    throw InputError(problem + "; option --bam cannot write it (rename the sequence)");
  print_warning(program, problem + "; the run's files keep it, but an export to SAM refuses it");
}

// Everything that can be found wrong before the first file is written. The
// dataset is already open: it is read once, so it may come through a pipe.
// A reference that the last run in the work folder read and checked, and
// that has not changed since, is not read again: its summary comes from the
// memo.
FastaSummary check_inputs(const char* program, const DriverOptions& o, const ReferenceMemo* memo) {
  refuse_one_pass_input(o.config.ref_path, "-R", "reference");
  FastaSummary ref = memo ? memo->summary : check_fasta(o.config.ref_path);
  warn_if_soft_masked(program, o, ref);
  if (ref.blanks > 0) print_warning(program, skipped_blanks_warning(o.config.ref_path, ref.blanks));
  check_reference_names(program, o, ref);
  std::filesystem::path parent = std::filesystem::path(o.config.output_path).parent_path();
  if (parent.empty()) parent = ".";
  std::error_code ec;
  if (!std::filesystem::is_directory(parent, ec) || ::access(parent.c_str(), W_OK) != 0)
    throw IoError("cannot write the output file '" + o.config.output_path + "': folder '" +
                  parent.string() + "' does not exist or is not writable");
  check_bam_export(o);
  return ref;
}

// With mates, the closing summary counts the pairs as the export pairs them.
bool will_count_pairs(const char* program, const DriverOptions& o) {
  if (o.mates_path.empty()) return false;
  return o.bam_export.path.empty() ? check_pair_counting(program, o) : true;
}

// Two names of one file would pair every read with itself.
void check_mates(const DriverOptions& o) {
  std::error_code ec;
  if (o.mates_path == o.dataset_path ||
      std::filesystem::equivalent(o.mates_path, o.dataset_path, ec))
    throw UsageError("option --mates=" + o.mates_path +
                     " names the file of -D; give the file of the second mates");
}

// The memo of the work folder, when it describes the reference as it is now.
std::optional<ReferenceMemo> memo_of_reference(const RunConfig& config,
                                               const std::optional<FileStamp>& ref_stamp) {
  if (!ref_stamp) return std::nullopt;
  std::optional<ReferenceMemo> memo = read_reference_memo(config.work_folder);
  if (memo && memo->reference != *ref_stamp) memo.reset();
  return memo;
}

// Cuts the reference into segment files, unless the last run cut the same
// reference the same way and its files are still in place; then they are
// listed as a cutting lists them and kept. A fresh cutting is remembered
// when the reference's stamp was settled before it was read and stayed so.
SegmentFiles cut_reference(const RunConfig& config, const SegmentCut& cut, const FastaSummary& ref,
                           const std::optional<FileStamp>& ref_stamp,
                           const std::optional<ReferenceMemo>& memo) {
  if (memo && memo->cut == cut && cut_files_in_place(config.work_folder, *memo)) {
    for (int k = 1; k < memo->segments; ++k)
      std::puts(numbered_path(config.work_folder, k, kSegmentSuffix).c_str());
    std::printf("the reference '%s' has not changed since the last run and is not read again\n",
                config.ref_path.c_str());
    return {memo->segments, memo->segments};
  }
  forget_reference_memo(config.work_folder);
  const SegmentFiles files = segment_reference(config.ref_path, config.work_folder, cut.overlap,
                                               cut.segment_size, cut.masked_toggle);
  const auto stamps = cut_file_stamps(config.work_folder, files.segments);
  if (ref_stamp && stamps && path_stamp(config.ref_path) == ref_stamp)
    write_reference_memo(config.work_folder, {*ref_stamp, ref, cut, files.segments, *stamps,
                                              memo ? memo->content : std::nullopt});
  return files;
}

}  // namespace

PreparedRun firsttask(DriverKind kind, int argc, const char* const* argv, RunLock& lock) {
  PreparedRun prepared;
  const char* program = driver_name(kind);
  print_banner(kind);
  DriverOptions options;
  std::string problem;
  const bool valid = param_read(kind, argc, argv, options, problem) == 1;
  // Said also before a refusal: "-w" for "-W" is a likely cause of one.
  for (const std::string& ignored : options.ignored_options)
    print_warning(program, unknown_option_warning(ignored));
  if (!valid) {
    std::puts(kFatalParameterMessage);
    std::fflush(stdout);
    throw UsageError(problem);
  }
  print_parameters(kind, options);
  std::fflush(stdout);
  for (const std::string& message : option_warnings(kind, options)) print_warning(program, message);

  RunConfig& config = options.config;
  if (!options.mates_path.empty()) check_mates(options);
  refuse_inputs_the_run_writes(kind, options);
  InputFile dataset(options.dataset_path, kCacheBlock);
  std::optional<InputFile> mates;
  if (!options.mates_path.empty()) mates.emplace(options.mates_path, kCacheBlock);
  const std::optional<FileStamp> ref_stamp =
      settled_reference_stamp(config.ref_path, std::chrono::system_clock::now());
  const std::optional<ReferenceMemo> memo = memo_of_reference(config, ref_stamp);
  const FastaSummary ref = check_inputs(program, options, memo ? &*memo : nullptr);
  RescueRequest& rescue = prepared.rescue;
  rescue = options.rescue;
  if (!rescue.junctions_path.empty()) {
    rescue.known = read_known_junctions(rescue.junctions_path);
    const std::string misfits =
        check_known_junctions(rescue.junctions_path, rescue.known, config.ref_path, ref.sequences);
    if (!misfits.empty()) print_warning(program, misfits);
  }
  const bool count_pairs = will_count_pairs(program, options);
  lock.acquire(kConfigFile, program);
  make_folders(config.work_folder);
  lock.acquire_work_folder(config.work_folder, program);
  write_index_store_setting(config.work_folder, index_store_folder(options));
  ProgressDisplay progress(std::string(program) + ": preparation", stderr, stderr_is_terminal(),
                           stage_clock());
  ReadPreparation& reads = prepared.reads;
  reads = chang_fastqfile(dataset, config.work_folder, config.max_read_length,
                          {mates ? &*mates : nullptr, options.name_check}, &progress);
  progress.finish();
  config.read_count = reads.read_count;
  const SegmentCut cut{config.max_read_length,
                       static_cast<std::int64_t>(options.segment_size_mb) << 20,
                       config.masked_toggle};
  const SegmentFiles segments = cut_reference(config, cut, ref, ref_stamp, memo);
  config.segment_count = segments.segments;
  if (segments.kept > 0)
    std::printf("%d of %d segment files were already in place and are kept as they are\n",
                segments.kept, segments.segments);
  std::fflush(stdout);
  task_fenpei(config.work_folder, config.segment_count, config.cpu_cores);
  // The output name exists from here on; an earlier result under it is
  // replaced only when the new one is complete.
  create_file_if_missing(config.output_path);
  write_run_config(kConfigFile, config);
  prepared.seed_length = config.seed_length;
  BamExport& bam_export = prepared.bam_export;
  bam_export = options.bam_export;
  bam_export.dataset_path = options.dataset_path;
  bam_export.mates_path = options.mates_path;
  bam_export.name_check = options.name_check;
  bam_export.count_pairs = count_pairs;
  bam_export.command_line = command_line_of(argc, argv);
  prepared.remove_work = options.remove_work;
  if (memo) prepared.reference_hash = memo->content;
  bam_export.annotation_path = options.rescue.junctions_path;
  prepared.cpu_cores = config.cpu_cores;
  return prepared;
}

}  // namespace quilm
