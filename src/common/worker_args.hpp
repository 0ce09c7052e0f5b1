// The command line of a worker (quilm_x, junctor, quilm_rescue).
#pragma once

namespace quilm {

// "<seed length> [<process number>]". Without a process number it comes from
// the MPI launcher's rank variable (OMPI_COMM_WORLD_RANK, PMI_RANK or
// PMIX_RANK, in that order). Throws UsageError when invalid.
struct WorkerArgs {
  int seed_length = 0;
  int process_number = 0;
};
WorkerArgs parse_worker_args(int argc, char** argv);

}  // namespace quilm
