#include "common/command_line.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "common/errors.hpp"
#include "common/version.hpp"

namespace quilm {

namespace {

enum class InfoRequest { kNone, kHelp, kVersion };

InfoRequest info_request(int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help") return InfoRequest::kHelp;
    if (arg == "--version") return InfoRequest::kVersion;
  }
  return InfoRequest::kNone;
}

// A help or version text that cannot be written (a full disk, a closed
// stdout) is an error like any other failed write.
int answer(InfoRequest request, const char* program, const std::string& help) {
  if (request == InfoRequest::kHelp)
    std::fputs(help.c_str(), stdout);
  else
    std::printf("%s %s\n", program, version_text());
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return 0;
  std::fprintf(stderr, "%s: error: cannot write to standard output: %s\n", program,
               std::strerror(errno));
  return 1;
}

}  // namespace

int run_program(const char* program, const std::string& help, int argc, const char* const* argv,
                const std::function<int()>& body) {
  const InfoRequest request = info_request(argc, argv);
  if (request != InfoRequest::kNone) return answer(request, program, help);
  return run_program(program, body);
}

}  // namespace quilm
