#include "pipeline/launch.hpp"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <thread>

#include "common/errors.hpp"
#include "common/input_file.hpp"
#include "common/parent_death.hpp"
#include "common/paths.hpp"

extern char** environ;

namespace quilm {

Launcher read_launcher(const std::string& file) {
  Launcher launcher;
  std::error_code ec;
  if (!std::filesystem::exists(file, ec)) return launcher;
  InputFile in(file, 1 << 12);
  std::string line;
  in.read_line(line);
  while (!line.empty() && (line.back() == ' ' || line.back() == '\r' || line.back() == '\n'))
    line.pop_back();
  if (line.empty())
    throw LaunchError("'" + file + "' does not name an MPI launcher on its first line");
  launcher.use_mpi = true;
  launcher.path = line;
  if (in.read_line(line)) {
    std::size_t at = 0;
    while (at < line.size()) {
      while (at < line.size() && (line[at] == ' ' || line[at] == '\t' || line[at] == '\r')) ++at;
      std::size_t end = at;
      while (end < line.size() && line[end] != ' ' && line[end] != '\t' && line[end] != '\r') ++end;
      if (end > at) launcher.extra_args.push_back(line.substr(at, end - at));
      at = end;
    }
  }
  return launcher;
}

std::string own_program_folder() {
  std::error_code ec;
  auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) throw LaunchError("cannot find the driver's own executable: " + ec.message());
  return self.parent_path().string();
}

std::string program_beside_driver(const std::string& name, const std::string& stage) {
  const std::string folder = own_program_folder();
  const std::string path = folder + "/" + name;
  if (::access(path.c_str(), X_OK) == 0) return path;
  // Installed, the workers lie apart from the programs users start.
  const std::string installed =
      (std::filesystem::path(folder) / ".." / kInstalledWorkerFolder / name).lexically_normal();
  if (::access(installed.c_str(), X_OK) == 0) return installed;
  throw LaunchError(stage + ": program '" + path + "' is missing or not executable (and so is '" +
                    installed + "')");
}

namespace {

// This process's environment, where a child is to end with it, with the
// entry that asks for that instead of any inherited one.
struct ChildEnvironment {
  std::string entry;
  std::vector<char*> pointers;
  explicit ChildEnvironment(bool end_with_driver) {
    const std::string name = std::string(kEndWithParentVariable) + "=";
    for (char** e = environ; *e; ++e)
      if (!end_with_driver || !std::string_view(*e).starts_with(name)) pointers.push_back(*e);
    if (end_with_driver) {
      entry = end_with_parent_entry();
      pointers.push_back(entry.data());
    }
    pointers.push_back(nullptr);
  }
};

// Children start with no signal blocked (the driver blocks the stop signals
// for its watcher). A group leader (an MPI launcher) gets its own process
// group, so that a stop reaches everything it started, and reads no
// terminal input, which a background group may not. A helper is asked to
// end with the driver (workers always do; a launcher's own children could
// not tell the driver from their parent).
pid_t spawn(const std::vector<std::string>& args, const std::string& stage, bool group,
            bool helper) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawnattr_t attr;
  posix_spawn_file_actions_t actions;
  posix_spawnattr_init(&attr);
  posix_spawn_file_actions_init(&actions);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attr, &none);
  short flags = POSIX_SPAWN_SETSIGMASK;
  if (group) {
    flags |= POSIX_SPAWN_SETPGROUP;
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  }
  posix_spawnattr_setflags(&attr, flags);
  pid_t pid = 0;
  ChildEnvironment environment(helper);
  // posix_spawnp searches PATH for a launcher given by name only.
  const int err =
      posix_spawnp(&pid, argv[0], &actions, &attr, argv.data(), environment.pointers.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (err != 0)
    throw LaunchError(stage + ": cannot start '" + args[0] + "': " + std::strerror(err));
  return pid;
}

pid_t start(const std::vector<std::string>& args, const std::string& stage, bool group,
            RunGuard* guard, bool helper = false,
            const std::function<std::string(pid_t)>& temporaries = {}) {
  if (!guard) return spawn(args, stage, group, helper);
  return guard->start_child([&] { return spawn(args, stage, group, helper); }, group, temporaries);
}

// "" for a clean end, else how the process ended.
std::string describe_status(int status) {
  if (WIFEXITED(status)) {
    if (WEXITSTATUS(status) == 0) return "";
    return "exited with status " + std::to_string(WEXITSTATUS(status));
  }
  if (WIFSIGNALED(status))
    return std::string("was killed by signal ") + std::to_string(WTERMSIG(status)) + " (" +
           strsignal(WTERMSIG(status)) + ")";
  return "ended abnormally";
}

bool stopped_by_user_signal(int status) {
  return WIFSIGNALED(status) &&
         (WTERMSIG(status) == SIGINT || WTERMSIG(status) == SIGTERM || WTERMSIG(status) == SIGHUP);
}

// A worker that died of a stop signal may have got it with the driver (the
// terminal's Ctrl-C reaches the whole group): the driver's own stop then
// reports the run, not this failure.
void settle(RunGuard* guard, int status) {
  if (!guard) return;
  if (stopped_by_user_signal(status)) std::this_thread::sleep_for(std::chrono::milliseconds(300));
  guard->hold_if_stopping();
}

std::string wait_for(pid_t pid, RunGuard* guard) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return std::string("cannot be waited for: ") + std::strerror(errno);
  }
  if (guard) guard->forget_child(pid);
  const std::string how = describe_status(status);
  if (!how.empty()) settle(guard, status);
  return how;
}

// Waits for every process; after the first failure the others are stopped,
// since the cycle cannot be combined anyway. Returns the first failure.
std::string wait_for_all(std::vector<pid_t> pids, const LaunchRequest& request, RunGuard* guard) {
  std::string failure;
  int failed_status = 0;
  std::size_t running = pids.size();
  while (running > 0) {
    int status = 0;
    pid_t done = waitpid(-1, &status, 0);
    if (done < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (guard) guard->forget_child(done);
    for (std::size_t p = 0; p < pids.size(); ++p) {
      if (pids[p] != done) continue;
      pids[p] = 0;
      --running;
      std::string how = describe_status(status);
      if (how.empty() || !failure.empty()) break;
      failure = request.stage + ": worker process " + std::to_string(p) + " (" + request.worker +
                ") " + how;
      failed_status = status;
      for (pid_t other : pids)
        if (other > 0) kill(other, SIGTERM);
      break;
    }
  }
  if (!failure.empty()) settle(guard, failed_status);
  return failure;
}

}  // namespace

void launch_workers(const Launcher& launcher, const LaunchRequest& request, RunGuard* guard) {
  const std::string worker = program_beside_driver(request.worker, request.stage);
  const std::string seed = std::to_string(request.seed_length);
  if (launcher.use_mpi) {
    std::vector<std::string> args = {launcher.path, "-n", std::to_string(request.processes)};
    args.insert(args.end(), launcher.extra_args.begin(), launcher.extra_args.end());
    args.push_back(worker);
    args.push_back(seed);
    std::string how = wait_for(start(args, request.stage, true, guard), guard);
    if (!how.empty())
      throw LaunchError(request.stage + ": the MPI launcher '" + launcher.path + "' " + how);
    return;
  }
  std::vector<pid_t> pids;
  std::string failure;
  for (int p = 0; p < request.processes && failure.empty(); ++p) {
    try {
      pids.push_back(start({worker, seed, std::to_string(p)}, request.stage, false, guard));
    } catch (const LaunchError& e) {
      failure = e.what();
      for (pid_t started : pids) kill(started, SIGTERM);
    }
  }
  std::string how = wait_for_all(pids, request, guard);
  if (failure.empty()) failure = how;
  if (!failure.empty()) throw LaunchError(failure);
}

void run_helper(const HelperRequest& request, RunGuard* guard) {
  std::vector<std::string> args = {program_beside_driver(request.program, request.stage)};
  args.insert(args.end(), request.args.begin(), request.args.end());
  const pid_t pid = start(args, request.stage, false, guard, true, request.temporaries);
  const std::string how = wait_for(pid, guard);
  const std::string leftovers = request.temporaries ? request.temporaries(pid) : std::string();
  if (guard && !leftovers.empty()) guard->forget_temporaries(leftovers);
  if (how.empty()) return;
  if (!leftovers.empty()) remove_files_starting_with(leftovers);
  throw LaunchError(request.stage + ": '" + args[0] + "' " + how);
}

}  // namespace quilm
