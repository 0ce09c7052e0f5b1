#include "worker/quilm_x_worker.hpp"

#include <string>
#include <vector>

#include "common/paths.hpp"
#include "common/progress_counter.hpp"
#include "common/seed_lengths.hpp"
#include "common/worker_args.hpp"
#include "worker/stage_jobs.hpp"

namespace quilm {

const char* const kQuilmXHelp =
    "Usage: quilm_x <seed length> [<process number>]\n"
    "Seed-mapping worker, started by quilm2splice and quilm2 for every cycle: maps\n"
    "the cycle's reads onto the segments that the run's taskmpi.txt gives to this\n"
    "process, with the run's config.txt in the current directory.\n"
    "  <seed length>     the cycle's seed length: 14, 12, 10, 8 or 6 (required)\n"
    "  <process number>  this process's number (default: the MPI launcher's rank,\n"
    "                    OMPI_COMM_WORLD_RANK, PMI_RANK or PMIX_RANK)\n"
    "  --help            this text\n"
    "  --version         the program's version\n"
    "Example: quilm_x 14 0\n";

MapSettings map_settings(const RunConfig& config, int seed_length) {
  MapSettings settings;
  settings.max_read_length = config.max_read_length;
  settings.max_errors = config.max_errors;
  settings.indel_toggle = config.indel_toggle;
  settings.seed_length = seed_length;
  settings.masked_toggle = config.masked_toggle;
  settings.best_toggle = config.best_toggle;
  settings.unidirectional_toggle = config.unidirectional_toggle;
  settings.export_all_toggle = config.export_all_toggle;
  return settings;
}

int quilm_x_main(int argc, char** argv) {
  const WorkerArgs args = parse_worker_args(argc, argv);
  require_cascade_seed(args.seed_length);
  const RunConfig config = read_run_config(kConfigFile, false);
  const std::string read_path = cycle_read_file(config.work_folder, args.seed_length);
  run_stage_jobs(config, args, read_path, map_settings(config, args.seed_length),
                 [&](bool reduced, const std::string& segment_path, const SegmentJob& job,
                     const MapSettings& settings) {
                   if (reduced)
                     quilm_x_red(segment_path, read_path, job.result_path, settings, job.slice);
                   else
                     quilm_x(segment_path, read_path, job.result_path, settings, job.slice);
                 });
  return 0;
}

}  // namespace quilm
