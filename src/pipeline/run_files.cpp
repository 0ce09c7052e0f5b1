#include "pipeline/run_files.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>

#include "common/errors.hpp"
#include "common/input_file.hpp"
#include "common/paths.hpp"
#include "common/rescue_record.hpp"
#include "common/run_config.hpp"
#include "common/share_plan.hpp"
#include "common/store_setting.hpp"
#include "common/work_files.hpp"
#include "pipeline/rescue_stage.hpp"
#include "pipeline/run_lock.hpp"
#include "pipeline/run_publication.hpp"

namespace quilm {

namespace {

namespace fs = std::filesystem;

constexpr const char* kFixedWorkFiles[] = {
    kReadFile,       kSpliceReadFile,     kSegmentIndexFile,  kSegmentSizeFile,
    kTaskFile,       kSharePlanFile,      kIndexStoreFile,    kMappedHitFile,
    kSplicedHitFile, kPairFile,           kRescueReadFile,    kRescueJunctionFile,
    kRescueHintFile, kWorkFolderLockFile, kReferenceMemoFile,
};

// The export replaces these beside its output: the new index, or an old one
// that no longer describes the file.
constexpr const char* kExportIndexSuffixes[] = {".bai", ".crai"};

// Skips one or more decimal digits at the front of `name`.
bool skip_digits(std::string_view& name) {
  const auto end =
      std::find_if(name.begin(), name.end(), [](char c) { return c < '0' || c > '9'; });
  const auto count = static_cast<std::size_t>(end - name.begin());
  name.remove_prefix(count);
  return count > 0;
}

// The workers' progress files "progress_<process>.txt" and their
// temporaries "progress_<process>.txt.tmp".
bool is_progress_file(std::string_view name) {
  const std::string_view prefix = kProgressPrefix;
  if (!name.starts_with(prefix)) return false;
  name.remove_prefix(prefix.size());
  return skip_digits(name) &&
         (name == kProgressSuffix || name == std::string(kProgressSuffix) + ".tmp");
}

bool is_numbered_work_file(std::string_view name) {
  if (is_progress_file(name)) return true;
  if (!skip_digits(name)) return false;
  if (name == kSegmentSuffix || name == kCycleReadSuffix || name == kResultSuffix) return true;
  const std::string_view part = kResultPartSuffix;
  if (!name.starts_with(part)) return false;
  name.remove_prefix(part.size());
  return skip_digits(name) && name.empty();
}

std::optional<FileIdentity> folder_identity(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return std::nullopt;
  return FileIdentity{st.st_dev, st.st_ino};
}

// The existing files of `folder` whose names `written` accepts, as outputs.
void add_folder_files(const std::string& label, const std::string& folder,
                      bool (*written)(std::string_view), std::vector<NamedFile>& outputs) {
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (written(name)) outputs.push_back({label, join_path(folder, name)});
  }
}

// An input that lies in the work folder (after its links are followed) under
// a name the run writes there: refused even when it is not a regular file.
void refuse_input_named_as_work_file(const std::string& work_folder, const NamedFile& input) {
  if (input.path.empty() || input.path == kStandardInput) return;
  const std::optional<FileIdentity> work = folder_identity(work_folder);
  if (!work) return;
  std::error_code ec;
  fs::path where = fs::canonical(input.path, ec);
  if (ec) where = fs::absolute(input.path, ec).lexically_normal();
  const std::string name = where.filename().string();
  if (!is_work_file_name(name) || folder_identity(where.parent_path().string()) != work) return;
  throw UsageError("option -W ('" + join_path(work_folder, name) + "') names the file of " +
                   input.label + " ('" + input.path + "'), which the run would overwrite");
}

}  // namespace

bool is_work_file_name(std::string_view name) {
  return is_numbered_work_file(name) ||
         std::any_of(std::begin(kFixedWorkFiles), std::end(kFixedWorkFiles),
                     [name](const char* fixed) { return name == fixed; });
}

bool is_index_store_file_name(std::string_view name) {
  return name.starts_with("seg-") || name.starts_with("segment-");
}

std::vector<NamedFile> driver_inputs(const DriverOptions& o) {
  std::vector<NamedFile> inputs = {{"-R", o.config.ref_path}, {"-D", o.dataset_path}};
  if (!o.mates_path.empty()) inputs.push_back({"--mates", o.mates_path});
  if (!o.rescue.junctions_path.empty()) inputs.push_back({"--junctions", o.rescue.junctions_path});
  return inputs;
}

std::vector<std::string> output_paths(DriverKind kind, const DriverOptions& o) {
  const std::string& base = o.config.output_path;
  if (kind == DriverKind::kMappingOnly) return {base, base + ".config"};
  std::vector<std::string> paths;
  for (const char* suffix : kOutputSuffixes) paths.push_back(base + suffix);
  if (o.rescue.enabled) paths.push_back(base + kRescueOutputSuffix);
  return paths;
}

std::vector<std::string> export_index_paths(const std::string& export_path) {
  std::vector<std::string> paths;
  for (const char* suffix : kExportIndexSuffixes) paths.push_back(export_path + suffix);
  return paths;
}

std::vector<NamedFile> driver_outputs(DriverKind kind, const DriverOptions& o) {
  std::vector<NamedFile> outputs;
  for (const std::string& path : output_paths(kind, o)) outputs.push_back({"option -O", path});
  // The run's stamp, and what an earlier run wrote under the run's names
  // after its six files, which the run removes.
  const std::string& bam = o.bam_export.path;
  for (const std::string& path :
       later_step_outputs(o.config.output_path, kind == DriverKind::kSplice, bam))
    outputs.push_back({!bam.empty() && path.starts_with(bam.substr(0, bam.rfind('.')))
                           ? "option --bam"
                           : "option -O",
                       path});
  if (!o.bam_export.path.empty()) {
    outputs.push_back({"option --bam", o.bam_export.path});
    for (const std::string& path : export_index_paths(o.bam_export.path))
      outputs.push_back({"option --bam", path});
  }
  outputs.push_back({"the run log", kConfigFile});
  return outputs;
}

void refuse_inputs_the_run_writes(DriverKind kind, const DriverOptions& o) {
  const std::vector<NamedFile> inputs = driver_inputs(o);
  for (const NamedFile& input : inputs)
    refuse_input_named_as_work_file(o.config.work_folder, input);
  std::vector<NamedFile> outputs = driver_outputs(kind, o);
  add_folder_files("option -W", o.config.work_folder, is_work_file_name, outputs);
  const std::string store = index_store_folder(o);
  if (!store.empty())
    add_folder_files(o.index_store.empty() ? "option -W" : "option --index-store", store,
                     is_index_store_file_name, outputs);
  refuse_overwritten_inputs(outputs, inputs);
}

}  // namespace quilm
