#include "common/store_setting.hpp"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "common/errors.hpp"
#include "common/output_file.hpp"
#include "common/paths.hpp"

namespace quilm {

std::string default_index_store(const std::string& work_folder) {
  return join_path(work_folder, kDefaultIndexStore);
}

void write_index_store_setting(const std::string& work_folder, const std::string& folder) {
  OutputFile out(join_path(work_folder, kIndexStoreFile), OutputFile::Mode::kTruncate, 4096);
  out.write(folder);
  out.write("\n");
  out.close();
}

std::string read_index_store_setting(const std::string& work_folder) {
  const std::string path = join_path(work_folder, kIndexStoreFile);
  std::error_code ec;
  if (!std::filesystem::exists(path, ec) && !ec) return default_index_store(work_folder);
  std::ifstream in(path, std::ios::binary);
  if (!in) throw InputError("cannot read '" + path + "'");
  std::string line;
  std::getline(in, line);
  if (in.bad() || (!in.eof() && in.fail())) throw InputError("cannot read '" + path + "'");
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace quilm
