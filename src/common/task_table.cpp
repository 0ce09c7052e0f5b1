#include "common/task_table.hpp"

#include "common/errors.hpp"
#include "common/input_file.hpp"
#include "common/output_file.hpp"
#include "common/paths.hpp"
#include "common/text_scanner.hpp"
#include "common/work_files.hpp"

namespace quilm {

std::vector<int> read_task_table(const std::string& work_folder, int segment_count) {
  InputFile in(join_path(work_folder, kTaskFile), 1 << 16);
  TextScanner scan(in);
  std::vector<int> table(segment_count > 0 ? segment_count : 0);
  for (int k = 0; k < segment_count; ++k) {
    if (scan.read_int(table[k]) != Scan::kOk)
      throw InputError("'" + in.path() + "' has no valid entry for segment " +
                       std::to_string(k + 1) + " of " + std::to_string(segment_count));
  }
  return table;
}

void write_task_table(const std::string& work_folder, const std::vector<int>& assignment) {
  OutputFile out(join_path(work_folder, kTaskFile), OutputFile::Mode::kTruncate, 1 << 16);
  for (int process : assignment) {
    out.write_int(process);
    out.put(' ');
  }
  out.close();
}

}  // namespace quilm
