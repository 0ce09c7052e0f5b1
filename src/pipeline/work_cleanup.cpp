#include "pipeline/work_cleanup.hpp"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>

#include "common/command_line.hpp"
#include "common/file_identity.hpp"
#include "common/paths.hpp"
#include "pipeline/run_files.hpp"
#include "pipeline/run_lock.hpp"

namespace quilm {

namespace {

namespace fs = std::filesystem;

// The files whose paths begin with `prefix`, by identity.
void add_identities(const std::string& prefix, std::vector<FileIdentity>& out) {
  for_each_file_starting_with(prefix, [&](const std::string& path) {
    if (const auto id = regular_file_identity(path)) out.push_back(*id);
  });
}

}  // namespace

int remove_work_files(const char* program, const std::string& work_folder,
                      const std::vector<std::string>& keep) {
  std::vector<FileIdentity> kept;
  for (const std::string& prefix : keep) add_identities(prefix, kept);
  std::vector<fs::path> doomed;
  std::error_code ec;
  for (fs::directory_iterator it(work_folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    std::error_code kind;
    if (!is_work_file_name(name) || !fs::is_regular_file(it->symlink_status(kind))) continue;
    const auto id = regular_file_identity(it->path().string());
    if (!id || std::find(kept.begin(), kept.end(), *id) != kept.end()) continue;
    doomed.push_back(it->path());
  }
  if (ec)
    print_warning(program, "--remove-work: cannot list the work folder '" + work_folder +
                               "': " + ec.message());
  // The lock file goes last: the run holds the folder until its files are gone.
  std::stable_partition(doomed.begin(), doomed.end(),
                        [](const fs::path& p) { return p.filename() != kWorkFolderLockFile; });
  int removed = 0;
  for (const fs::path& path : doomed) {
    std::error_code gone;
    if (fs::remove(path, gone)) {
      ++removed;
      continue;
    }
    if (gone)
      print_warning(program,
                    "--remove-work: cannot remove '" + path.string() + "': " + gone.message());
  }
  return removed;
}

}  // namespace quilm
