#include "splice/junctor_task.hpp"

#include <string>
#include <vector>

#include "common/errors.hpp"
#include "common/paths.hpp"
#include "common/progress_counter.hpp"
#include "common/seed_lengths.hpp"
#include "worker/stage_jobs.hpp"

namespace quilm {

namespace {

RunConfig read_splice_config() {
  RunConfig config = read_run_config(kConfigFile, true);
  if (config.max_read_length < 1)
    throw InputError("'" + std::string(kConfigFile) + "': maximum read length " +
                     std::to_string(config.max_read_length) + " is not positive");
  return config;
}

}  // namespace

const char* const kJunctorHelp =
    "Usage: junctor <seed length> [<process number>]\n"
    "Split-read worker, started by quilm2splice for its splice stage: maps the\n"
    "reads of splice0.fastq as two parts across an intron onto the segments that\n"
    "the run's taskmpi.txt gives to this process, with the run's config.txt in the\n"
    "current directory.\n"
    "  <seed length>     the splice seed length: 14, 12, 10, 8 or 6 (required)\n"
    "  <process number>  this process's number (default: the MPI launcher's rank,\n"
    "                    OMPI_COMM_WORLD_RANK, PMI_RANK or PMIX_RANK)\n"
    "  --help            this text\n"
    "  --version         the program's version\n"
    "Example: junctor 14 0\n";

SpliceSettings splice_settings(const RunConfig& config, int seed_length) {
  return {config.max_read_length,  config.max_errors,       seed_length, config.masked_toggle,
          config.min_gap_distance, config.max_gap_distance, {}};
}

void run_junctor(const WorkerArgs& args) {
  require_cascade_seed(args.seed_length);
  const RunConfig config = read_splice_config();
  const std::string read_path = join_path(config.work_folder, kSpliceReadFile);
  run_stage_jobs(
      config, args, read_path, splice_settings(config, args.seed_length),
      [&](bool reduced, const std::string& segment_path, const SegmentJob& job,
          const SpliceSettings& settings) {
        if (reduced)
          splicing_mapping_red(segment_path, read_path, job.result_path, settings, job.slice);
        else
          splicing_mapping(segment_path, read_path, job.result_path, settings, job.slice);
      });
}

}  // namespace quilm
