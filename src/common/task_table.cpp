#include "common/task_table.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string_view>

#include "common/errors.hpp"
#include "common/input_file.hpp"
#include "common/output_file.hpp"
#include "common/paths.hpp"
#include "common/seed_lengths.hpp"
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

std::string cycle_read_file(const std::string& work_folder, int seed_length) {
  require_cascade_seed(seed_length);
  // The first cycle reads the prepared dataset, every later one the file of
  // the reads that the cycle before it passed on.
  if (seed_length == kCascadeSeeds[0]) return join_path(work_folder, kReadFile);
  const int* cycle = std::find(std::begin(kCascadeSeeds), std::end(kCascadeSeeds), seed_length);
  return numbered_path(work_folder, *(cycle - 1), kCycleReadSuffix);
}

namespace {

bool parse_count(const char* text, int& value) {
  if (!text || !*text) return false;
  char* end = nullptr;
  errno = 0;
  long v = std::strtol(text, &end, 10);
  if (*end != '\0' || errno != 0 || v < 0 || v > 1 << 30) return false;
  value = static_cast<int>(v);
  return true;
}

}  // namespace

WorkerArgs parse_worker_args(int argc, char** argv) {
  WorkerArgs args;
  const std::string usage =
      "usage: " + std::string(argc > 0 ? argv[0] : "worker") + " <seed length> [<process number>]";
  for (int i = 1; i < argc; ++i)
    if (std::string_view(argv[i]).starts_with("--"))
      throw UsageError("unknown option '" + std::string(argv[i]) + "'\n" + usage);
  if (argc < 2 || argc > 3) throw UsageError(usage);
  if (!parse_count(argv[1], args.seed_length))
    throw UsageError("seed length '" + std::string(argv[1]) + "' is not a number");
  if (argc == 3) {
    if (!parse_count(argv[2], args.process_number))
      throw UsageError("process number '" + std::string(argv[2]) + "' is not a number");
    return args;
  }
  for (const char* name : {"OMPI_COMM_WORLD_RANK", "PMI_RANK", "PMIX_RANK"}) {
    const char* value = std::getenv(name);
    if (value && *value) {
      if (!parse_count(value, args.process_number))
        throw UsageError(std::string(name) + " '" + value + "' is not a process number");
      return args;
    }
  }
  throw UsageError(
      "no process number: give it as the second argument or run under an MPI launcher");
}

}  // namespace quilm
