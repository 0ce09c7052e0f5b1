#include "pipeline/driver_run.hpp"

#include <utility>

#include "common/pair_counts.hpp"
#include "common/run_stamp.hpp"
#include "common/store_setting.hpp"
#include "pipeline/bam_export.hpp"
#include "pipeline/firsttask.hpp"
#include "pipeline/reference_memo.hpp"
#include "pipeline/work_cleanup.hpp"

namespace quilm {

namespace {

// The run's identity, from the inputs and the parameters of config.txt. A
// reference hashed for the first time has its hash kept in the work
// folder's memo, so that a rerun on the unchanged file does not read it.
void prepare_publication(DriverRun& run, DriverKind kind,
                         const std::optional<ContentHash>& reference_hash) {
  const RunConfig config = read_run_config(kConfigFile, kind == DriverKind::kSplice);
  const bool six_files = kind == DriverKind::kSplice;
  RunPublication& p = run.publication;
  const std::optional<FileStamp> before = path_stamp(config.ref_path);
  p.stamp = make_run_stamp(config.ref_path, run.bam_export.dataset_path, run.bam_export.mates_path,
                           config.read_count, stamped_parameters(config), reference_hash);
  if (!reference_hash && before)
    remember_reference_content(config.work_folder, config.ref_path, *before,
                               p.stamp.reference.hash);
  p.stamp_path = run_stamp_path(config.output_path, six_files);
  p.earlier = later_step_outputs(config.output_path, six_files, run.bam_export.path);
}

}  // namespace

void start_driver_run(DriverRun& run, DriverKind kind, int argc, const char* const* argv) {
  Stopwatch preparation;
  PreparedRun prepared = firsttask(kind, argc, argv, run.lock);
  const ReadPreparation& reads = prepared.reads;
  run.bam_export = std::move(prepared.bam_export);
  run.rescue = std::move(prepared.rescue);
  run.remove_work = prepared.remove_work;
  prepare_publication(run, kind, prepared.reference_hash);
  run.report.count_empty_reads(reads.empty_reads);
  append_log_line(kConfigFile, "The Time of splited Ref. file and the assigned task used : " +
                                   format_seconds(preparation.seconds()) + " sec\n");
  run.report.stage("preparation done");
  run.setup.launcher = read_launcher();
  run.config = read_run_config(kConfigFile, kind == DriverKind::kSplice);
  run.setup.config = &run.config;
  run.setup.program = driver_name(kind);
  run.setup.report = &run.report;
  run.setup.guard = &run.guard;
  run.setup.first_cycle_reads = reads.read_count - reads.empty_reads;
  run.setup.index_store = read_index_store_setting(run.config.work_folder);
  run.report.stage(run.setup.index_store.empty()
                       ? std::string("seed indexes are built in memory (no index store)")
                       : "seed indexes are kept in '" + run.setup.index_store + "'");
}

void finish_driver_run(DriverRun& run) {
  const BamExport& bam = run.bam_export;
  if (!bam.path.empty())
    run_bam_export(bam, run.config, &run.guard, run.report);
  else if (bam.count_pairs)
    run_pair_count(bam, run.config, &run.guard, run.report);
  if (bam.count_pairs) run.report.count_pairs(read_pair_counts(pair_counts_path(run.config)));
  if (!bam.summary_file.empty()) run.report.use_export_summary(bam.summary_file);
  if (run.remove_work) {
    const int removed = remove_work_files(run.setup.program, run.config.work_folder,
                                          {run.config.output_path, bam.path});
    run.report.stage("--remove-work: " + std::to_string(removed) + " work files removed");
  }
  run.report.summary();
}

}  // namespace quilm
