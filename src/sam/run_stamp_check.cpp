#include "sam/run_stamp_check.hpp"

#include "common/command_line.hpp"
#include "common/errors.hpp"
#include "common/input_file.hpp"

namespace quilm::sam {

namespace {

std::string stamp_of(const SamOptions& options, bool six_files) {
  return run_stamp_path(options.run_path, six_files);
}

// False when the input's bytes could not be compared (either side a pipe).
bool compare_input(const char* option, const std::string& path, const StampedInput& run,
                   const std::string& stamp_path) {
  if (run.hash.hex.empty() || is_one_pass_input(path)) return false;
  if (content_hash(path) != run.hash)
    throw InputError("option " + std::string(option) + ": '" + path +
                     "' is not the file the run read: its bytes differ from those of '" + run.path +
                     "' as recorded in the run stamp '" + stamp_path + "'");
  return true;
}

}  // namespace

std::optional<RunStamp> check_run_inputs(const SamOptions& options, bool six_files) {
  const std::string path = stamp_of(options, six_files);
  std::optional<RunStamp> stamp = read_run_stamp(path);
  if (!stamp) {
    print_warning("quilm2sam", "no run stamp '" + path +
                                   "' beside the run's files (a run of an earlier version): "
                                   "cannot check that -R, -D and --rescued= are the run's");
    return stamp;
  }
  compare_input("-R", options.reference_path, stamp->reference, path);
  compare_input("-D", options.dataset_path, stamp->dataset, path);
  if (stamp->mates && !options.mates_path.empty())
    compare_input("--mates", options.mates_path, *stamp->mates, path);
  return stamp;
}

void check_rescue_run(const SamOptions& options, const std::optional<RunStamp>& stamp,
                      const std::string& rescue_run_number) {
  if (!stamp) return;
  const std::string number = run_number(*stamp);
  if (rescue_run_number == number) return;
  throw InputError("option --rescued: '" + options.rescued_path + "' " +
                   (rescue_run_number.empty() ? std::string("carries no run number")
                                              : "is the rescue file of run " + rescue_run_number) +
                   ", not of the run " + number + " of '" + options.run_path + "' (stamp '" +
                   stamp_of(options, true) + "')");
}

void check_read_count(const SamOptions& options, const std::optional<RunStamp>& stamp, long reads) {
  // Without --unmapped the reads after the last one with a hit are not read.
  if (!stamp || !options.unmapped || !options.mates_path.empty() || stamp->mates) return;
  if (reads == stamp->reads) return;
  throw InputError("option -D: '" + options.dataset_path + "' holds " + std::to_string(reads) +
                   " reads, the run in '" + options.run_path + "' numbered " +
                   std::to_string(stamp->reads));
}

}  // namespace quilm::sam
