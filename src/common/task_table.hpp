// taskmpi.txt: the process number that maps each segment ("%d " per segment,
// segment 1 first, -1 for a segment that no process maps).
#pragma once

#include <string>
#include <vector>

#include "common/work_files.hpp"

namespace quilm {

// Reads segment_count entries; entry k-1 belongs to segment k. Throws
// InputError naming the file when it holds fewer entries.
std::vector<int> read_task_table(const std::string& work_folder, int segment_count);

void write_task_table(const std::string& work_folder, const std::vector<int>& assignment);

}  // namespace quilm
