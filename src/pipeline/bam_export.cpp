#include "pipeline/bam_export.hpp"

#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "common/annotation_reading.hpp"
#include "common/command_line.hpp"
#include "common/cram_reference.hpp"
#include "common/errors.hpp"
#include "common/input_file.hpp"
#include "common/paths.hpp"
#include "common/work_files.hpp"
#include "pipeline/launch.hpp"
#include "pipeline/run_files.hpp"

namespace quilm {

namespace {

constexpr const char* kExportProgram = "quilm2sam";

std::string export_stage(const BamExport& bam) {
  return "export to '" + bam.path + "'";
}

// Where two names lead to one file: absolute and without "." and "..".
std::filesystem::path plain_path(const std::string& path) {
  std::error_code ec;
  auto absolute = std::filesystem::absolute(path, ec);
  return (ec ? std::filesystem::path(path) : absolute).lexically_normal();
}

// The export's output replaces its name when complete, and its index (or a
// stale one) the names beside it: none may be a file the run reads or writes.
// The same file under other names is refused before, by identity; this
// compares names, as the run's outputs need not exist yet.
void refuse_run_file(const DriverOptions& o) {
  const DriverKind kind = o.config.has_splice_line ? DriverKind::kSplice : DriverKind::kMappingOnly;
  std::vector<NamedFile> run_files = driver_inputs(o);
  run_files.push_back({"-O", o.config.output_path});
  for (const std::string& path : output_paths(kind, o)) run_files.push_back({"-O", path});
  std::vector<std::string> written = export_index_paths(o.bam_export.path);
  written.insert(written.begin(), o.bam_export.path);
  if (!o.bam_export.summary_file.empty()) written.push_back(o.bam_export.summary_file);
  for (const std::string& target : written)
    for (const NamedFile& file : run_files)
      if (!file.path.empty() && file.path != kStandardInput &&
          plain_path(file.path) == plain_path(target))
        throw UsageError("option --bam=" + o.bam_export.path + " names the file of " + file.label +
                         (target == o.bam_export.path ? ""
                          : target == o.bam_export.summary_file
                              ? " (with its summary file '" + target + "')"
                              : " (with its index '" + target + "')") +
                         ", which the export would replace");
}

void check_folder_writable(const std::string& path) {
  std::filesystem::path folder = std::filesystem::path(path).parent_path();
  if (folder.empty()) folder = ".";
  std::error_code ec;
  if (!std::filesystem::is_directory(folder, ec) || ::access(folder.c_str(), W_OK) != 0)
    throw IoError("option --bam: cannot write '" + path + "': folder '" + folder.string() +
                  "' does not exist or is not writable");
}

bool pairs_countable(const DriverOptions& o) {
  return !is_one_pass_input(o.dataset_path) && !is_one_pass_input(o.mates_path);
}

}  // namespace

void check_bam_export(const DriverOptions& o) {
  const BamExport& bam = o.bam_export;
  if (bam.path.empty()) return;
  refuse_run_file(o);
  check_folder_writable(bam.path);
  const std::pair<const char*, const std::string*> inputs[] = {{"dataset", &o.dataset_path},
                                                               {"mate file", &o.mates_path}};
  for (const auto& [what, input] : inputs)
    if (is_one_pass_input(*input))
      throw UsageError(std::string("option --bam: the export reads the ") + what + " '" + *input +
                       "' once more after the run, so it must be a regular file, not a pipe or "
                       "standard input (or convert the run with quilm2sam afterwards)");
  if (bam.path.ends_with(".cram")) check_cram_reference(o.config.ref_path, "option --bam");
  if (!bam.gene_counts_path.empty() && read_gene_exons(o.rescue.junctions_path).exons.empty())
    throw UsageError("option --gene-counts: the annotation '" + o.rescue.junctions_path +
                     "' holds no GTF/GFF exon line with a gene to count reads by");
  program_beside_driver(kExportProgram, export_stage(bam));
}

bool check_pair_counting(const char* program, const DriverOptions& o) {
  if (o.mates_path.empty()) return false;
  if (!pairs_countable(o)) {
    print_warning(program,
                  "the pairs are not counted in the closing summary: the export that pairs the "
                  "mates reads the reads again, and a pipe or standard input cannot be read "
                  "twice (convert the run with quilm2sam --mates afterwards)");
    return false;
  }
  program_beside_driver(kExportProgram, "the pairing of the mates");
  return true;
}

std::string pair_counts_path(const RunConfig& config) {
  return join_path(config.work_folder, kPairFile);
}

namespace {

// What tells quilm2sam the run: its files, its kind and the thread count.
std::vector<std::string> run_arguments(const BamExport& bam, const RunConfig& config) {
  return {"-R" + config.ref_path, "-D" + bam.dataset_path, "-O" + config.output_path,
          config.has_splice_line ? "--run-kind=splice" : "--run-kind=mapping",
          "--threads=" + std::to_string(config.cpu_cores)};
}

// The mates and where the pair counts go, for paired reads.
void add_mate_arguments(const BamExport& bam, const RunConfig& config,
                        std::vector<std::string>& args) {
  if (bam.mates_path.empty()) return;
  args.push_back("--mates=" + bam.mates_path);
  if (!bam.name_check) args.push_back("--no-name-check");
  args.push_back("--summary=" + pair_counts_path(config));
}

// After a rescue stage: its alignments, and the search for lone mates.
void add_rescue_arguments(const BamExport& bam, std::vector<std::string>& args) {
  if (bam.rescued_path.empty()) return;
  args.push_back("--rescued=" + bam.rescued_path);
  if (!bam.mates_path.empty()) args.push_back("--mate-rescue");
}

// The tables counted from the export's records, and the annotation they use.
void add_table_arguments(const BamExport& bam, std::vector<std::string>& args) {
  if (!bam.sj_path.empty()) args.push_back("--sj=" + bam.sj_path);
  if (!bam.sj_bed_path.empty()) args.push_back("--sj-bed=" + bam.sj_bed_path);
  if (!bam.gene_counts_path.empty()) args.push_back("--gene-counts=" + bam.gene_counts_path);
  const bool tables =
      !bam.sj_path.empty() || !bam.sj_bed_path.empty() || !bam.gene_counts_path.empty();
  if (tables && !bam.annotation_path.empty()) args.push_back("--annotation=" + bam.annotation_path);
}

}  // namespace

std::vector<std::string> export_arguments(const BamExport& bam, const RunConfig& config) {
  std::vector<std::string> args = run_arguments(bam, config);
  // After the three files, as the two-command way writes them.
  args.insert(args.begin() + 3, {"-o", bam.path, "--sort", "--unmapped"});
  add_mate_arguments(bam, config, args);
  if (!bam.read_group.id.empty()) {
    args.push_back(std::string(kReadGroupIdOption) + bam.read_group.id);
    for (const std::string& field : bam.read_group.fields)
      args.push_back(std::string(kReadGroupFieldOption) + field);
  }
  args.push_back(std::string(kRunCommandOption) + bam.command_line);
  add_rescue_arguments(bam, args);
  if (!bam.summary_file.empty()) args.push_back("--summary-file=" + bam.summary_file);
  if (bam.max_hits > 0) args.push_back("--max-hits=" + std::to_string(bam.max_hits));
  if (!bam.unmapped_fastq.empty()) args.push_back("--unmapped-fastq=" + bam.unmapped_fastq);
  add_table_arguments(bam, args);
  return args;
}

void run_bam_export(const BamExport& bam, const RunConfig& config, RunGuard* guard,
                    const RunReport& report) {
  const std::string stage = export_stage(bam);
  report.stage(stage + ": starting " + kExportProgram);
  HelperRequest request{stage, kExportProgram, export_arguments(bam, config),
                        [&bam](pid_t pid) { return export_part_path(bam.path, pid); }};
  run_helper(request, guard);
  report.stage(stage + " done");
}

void run_pair_count(const BamExport& bam, const RunConfig& config, RunGuard* guard,
                    const RunReport& report) {
  const std::string stage = "the pairing of the mates";
  report.stage(stage + ": starting " + kExportProgram);
  std::vector<std::string> args = run_arguments(bam, config);
  add_mate_arguments(bam, config, args);
  add_rescue_arguments(bam, args);
  run_helper({stage, kExportProgram, args, nullptr}, guard);
}

}  // namespace quilm
