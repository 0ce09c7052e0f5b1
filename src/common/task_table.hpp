// taskmpi.txt: the process number that maps each segment ("%d " per segment,
// segment 1 first, -1 for a segment that no process maps), and the choice of
// the read file of a cycle.
#pragma once

#include <string>
#include <vector>

#include "common/work_files.hpp"

namespace quilm {

// Reads segment_count entries; entry k-1 belongs to segment k. Throws
// InputError naming the file when it holds fewer entries.
std::vector<int> read_task_table(const std::string& work_folder, int segment_count);

void write_task_table(const std::string& work_folder, const std::vector<int>& assignment);

// The numbered read file that a mapping cycle of this seed length reads:
// "0.fastq" for 14, then "14.fastq", "12.fastq", "10.fastq", "8.fastq".
// Throws UsageError for any other seed length.
std::string cycle_read_file(const std::string& work_folder, int seed_length);

// Worker command line: "<seed length> [<process number>]". Without a process
// number it comes from the MPI launcher's rank variable (OMPI_COMM_WORLD_RANK,
// PMI_RANK or PMIX_RANK, in that order). Throws UsageError when invalid.
struct WorkerArgs {
  int seed_length = 0;
  int process_number = 0;
};
WorkerArgs parse_worker_args(int argc, char** argv);

}  // namespace quilm
