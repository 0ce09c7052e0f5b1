// Starting the worker processes of one cycle and waiting for all of them.
//
// Without "mpipathway.txt" in the current directory the driver starts
// `processes` copies of the worker that lies beside its own executable, each
// with the seed length and its process number. With it, the file's first
// line names an MPI launcher and an optional second line holds extra launcher
// arguments; the driver runs "launcher -n <processes> [extra] worker <seed>"
// and each worker takes its number from the launcher's rank variable.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include "common/work_files.hpp"
#include "pipeline/run_guard.hpp"

namespace quilm {

struct Launcher {
  bool use_mpi = false;
  std::string path;                     // the MPI launcher
  std::vector<std::string> extra_args;  // from the second line
};

// Reads "mpipathway.txt" when present: the first line without trailing
// blanks, carriage returns and line feeds; the second split at blanks.
Launcher read_launcher(const std::string& file = kLauncherFile);

// The folder of the running executable, where the workers lie.
std::string own_program_folder();

// Where an installed driver's workers lie, from the driver's folder's parent
// (<prefix>/bin/quilm2splice starts <prefix>/libexec/quilm2/quilm_x).
inline constexpr const char* kInstalledWorkerFolder = "libexec/quilm2";

// The path of a program beside the driver or, when there is none, in the
// installed worker folder; throws LaunchError naming the stage when neither
// is there and executable.
std::string program_beside_driver(const std::string& name, const std::string& stage);

struct LaunchRequest {
  std::string stage;   // for messages: "mapping cycle with seed 14"
  std::string worker;  // worker program name: "quilm_x" or "junctor"
  int seed_length = 0;
  int processes = 1;
};

// Runs the workers and waits for all of them. Throws LaunchError naming the
// stage and the process when a worker (or the launcher) cannot be started,
// exits with a non-zero status or is ended by a signal.
// With a guard, every process started is registered with it, so that a stop
// of the run ends it (an MPI launcher with its whole process group).
void launch_workers(const Launcher& launcher, const LaunchRequest& request,
                    RunGuard* guard = nullptr);

// One program beside the driver (not a worker: no seed, no process number,
// never through the MPI launcher), such as the export after the run.
struct HelperRequest {
  std::string stage;              // for messages: "export to 'run.bam'"
  std::string program;            // "quilm2sam"
  std::vector<std::string> args;  // after the program's path
  // For the helper's process id, the path that begins the names of the
  // files it leaves until it completes; they are removed when it is stopped
  // or fails.
  std::function<std::string(pid_t)> temporaries;
};

// Runs the helper and waits for it; throws LaunchError naming the stage when
// it cannot be started, exits with a non-zero status or is ended by a signal.
// With a guard, a stop of the run ends it.
void run_helper(const HelperRequest& request, RunGuard* guard = nullptr);

}  // namespace quilm
