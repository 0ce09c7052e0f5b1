#include "common/worker_args.hpp"

#include <cerrno>
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/errors.hpp"

namespace quilm {

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
