#include "common/file_identity.hpp"

#include <sys/stat.h>

#include "common/errors.hpp"
#include "common/input_file.hpp"

namespace quilm {

std::optional<FileIdentity> regular_file_identity(const std::string& path) {
  if (path.empty() || path == kStandardInput) return std::nullopt;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return FileIdentity{st.st_dev, st.st_ino};
}

void refuse_overwritten_inputs(const std::vector<NamedFile>& outputs,
                               const std::vector<NamedFile>& inputs) {
  std::vector<std::optional<FileIdentity>> read;
  read.reserve(inputs.size());
  for (const NamedFile& input : inputs) read.push_back(regular_file_identity(input.path));
  for (const NamedFile& output : outputs) {
    const std::optional<FileIdentity> written = regular_file_identity(output.path);
    if (!written) continue;
    for (std::size_t k = 0; k < inputs.size(); ++k)
      if (read[k] == written)
        throw UsageError(output.label + " ('" + output.path + "') names the file of " +
                         inputs[k].label + " ('" + inputs[k].path +
                         "'), which the run would overwrite");
  }
}

}  // namespace quilm
