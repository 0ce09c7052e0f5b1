#include "pipeline/run_publication.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "common/errors.hpp"

namespace quilm {

namespace {

void remove_regular_file(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return;
  if (::unlink(path.c_str()) != 0 && errno != ENOENT)
    throw_io_error("cannot remove the earlier run's output", path);
}

std::string without_suffix(const std::string& path, const std::string& suffix) {
  return path.ends_with(suffix) ? path.substr(0, path.size() - suffix.size()) : std::string();
}

}  // namespace

std::vector<std::string> later_step_outputs(const std::string& output_path, bool six_files,
                                            const std::string& bam_path) {
  std::vector<std::string> files{run_stamp_path(output_path, six_files)};
  if (six_files) files.push_back(output_path + "-rescue");
  if (bam_path.empty()) return files;
  files.push_back(bam_path);
  for (const char* index : {".bai", ".csi", ".crai"}) files.push_back(bam_path + index);
  // "x.bai" beside "x.bam" and "x.crai" beside "x.cram" are found by readers too.
  if (const std::string stem = without_suffix(bam_path, ".bam"); !stem.empty())
    files.push_back(stem + ".bai");
  if (const std::string stem = without_suffix(bam_path, ".cram"); !stem.empty())
    files.push_back(stem + ".crai");
  return files;
}

void publish_run_outputs(std::span<PendingOutput> outputs, const RunPublication* publication,
                         RunGuard* guard) {
  if (publication)
    for (const std::string& file : publication->earlier) remove_regular_file(file);
  for (PendingOutput& output : outputs) output.keep();
  if (!publication) return;
  PendingOutput stamp(publication->stamp_path, guard);
  write_run_stamp(stamp.path(), publication->stamp);
  stamp.keep();
}

}  // namespace quilm
