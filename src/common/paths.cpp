#include "common/paths.hpp"

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <system_error>

#include "common/errors.hpp"
#include "common/seed_lengths.hpp"
#include "common/work_files.hpp"

namespace quilm {

std::string join_path(std::string_view folder, std::string_view name) {
  std::string path;
  path.reserve(folder.size() + 1 + name.size());
  path.append(folder);
  path.push_back(kPathSeparator);
  path.append(name);
  return path;
}

std::string numbered_path(std::string_view folder, long number, std::string_view suffix) {
  std::string name = std::to_string(number);
  name.append(suffix);
  return join_path(folder, name);
}

std::string cycle_read_file(const std::string& work_folder, int seed_length) {
  require_cascade_seed(seed_length);
  // The first cycle reads the prepared dataset, every later one the file of
  // the reads that the cycle before it passed on.
  if (seed_length == kCascadeSeeds[0]) return join_path(work_folder, kReadFile);
  const int* cycle = std::find(std::begin(kCascadeSeeds), std::end(kCascadeSeeds), seed_length);
  return numbered_path(work_folder, *(cycle - 1), kCycleReadSuffix);
}

void make_folders(const std::string& folder) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) throw IoError("cannot create work folder '" + folder + "': " + ec.message());
  if (!std::filesystem::is_directory(folder, ec))
    throw IoError("work folder '" + folder + "' is not a folder");
}

void copy_file_over(const std::string& from, const std::string& to) {
  std::error_code ec;
  std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, ec);
  if (ec) throw IoError("cannot copy '" + from + "' to '" + to + "': " + ec.message());
}

std::string export_part_path(const std::string& output, long pid) {
  return output + ".part" + std::to_string(pid);
}

void for_each_file_starting_with(const std::string& prefix,
                                 const std::function<void(const std::string&)>& f) {
  namespace fs = std::filesystem;
  const fs::path start(prefix);
  const fs::path folder = start.has_parent_path() ? start.parent_path() : fs::path(".");
  const std::string name = start.filename().string();
  if (name.empty()) return;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    if (it->path().filename().string().starts_with(name)) f(it->path().string());
}

void remove_files_starting_with(const std::string& prefix) {
  for_each_file_starting_with(prefix, [](const std::string& path) {
    std::error_code ec;
    std::filesystem::remove(path, ec);
  });
}

}  // namespace quilm
