// Whether a file a program writes is one it reads: by device and inode, so
// that another path, a symbolic link or a hard link to an input counts as the
// input itself.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace quilm {

struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  bool operator==(const FileIdentity&) const = default;
};

// The identity of the regular file that `path` leads to, links followed.
// None for a missing path, standard input ("-"), a pipe, a device or a
// folder: writing cannot overwrite those as a stored file.
std::optional<FileIdentity> regular_file_identity(const std::string& path);

// A file of a run and what names it in messages: "-D" for an input,
// "option -O" or "the run log" for an output.
struct NamedFile {
  std::string label;
  std::string path;
};

// Throws UsageError "<output label> ('<path>') names the file of <input
// label> ('<path>'), which the run would overwrite" for the first output
// that is the same file as an input. Outputs that do not exist yet cannot be
// an input.
void refuse_overwritten_inputs(const std::vector<NamedFile>& outputs,
                               const std::vector<NamedFile>& inputs);

}  // namespace quilm
