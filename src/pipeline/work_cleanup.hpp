// --remove-work: once a run has succeeded, the files it left in its work
// folder go (for users who keep only the outputs or the BAM).
#pragma once

#include <string>
#include <vector>

namespace quilm {

// Removes the regular files of `work_folder` that bear a work file name (see
// is_work_file_name: the numbered read files, the segment files, the
// per-segment results, the tables and merges, the lock file last). Never a
// folder (the index store stays), a link, or a file that is one of `keep`'s
// (by identity: every file whose path begins with one of them, so the
// outputs of -O, the run's stamp, the rescue output, the BAM and its index
// stay even when they lie in the work folder). A file that cannot be removed
// is named in a warning on stderr; returns the number removed.
int remove_work_files(const char* program, const std::string& work_folder,
                      const std::vector<std::string>& keep);

}  // namespace quilm
