#include "common/command_line.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "common/errors.hpp"
#include "common/long_options.hpp"
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

int run_program(const char* program, const std::string& help, int& argc, char**& argv,
                const std::function<int()>& body, const std::string& options_text) {
  const InfoRequest request = info_request(argc, argv);
  if (request != InfoRequest::kNone) return answer(request, program, help);
  std::vector<std::string> joined;
  std::vector<char*> pointers;
  return run_program(program, [&] {
    joined =
        join_long_option_values(std::vector<std::string>(argv + 1, argv + argc),
                                long_options_in_help(options_text.empty() ? help : options_text));
    pointers.push_back(argv[0]);
    for (std::string& arg : joined) pointers.push_back(arg.data());
    pointers.push_back(nullptr);
    argc = static_cast<int>(pointers.size()) - 1;
    argv = pointers.data();
    return body();
  });
}

void print_warning(const char* program, const std::string& message) {
  std::fflush(stdout);
  std::fprintf(stderr, "%s: warning: %s\n", program, message.c_str());
}

std::string unknown_option_warning(std::string_view argument) {
  return "option " + std::string(argument) + " is not known and is ignored";
}

std::string with_help(const std::string& message, const std::string& help) {
  std::string text = message + "\n" + help;
  if (text.ends_with('\n')) text.pop_back();  // the error line adds its own
  return text;
}

void warn_skipped_arguments(const char* program, int argc, const char* const* argv,
                            std::string_view letters, const std::string& help) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg.starts_with("--"))
      throw UsageError(with_help("unknown option '" + std::string(arg) + "'", help));
    if (arg.size() < 2 || arg[0] != '-')
      print_warning(program, "argument '" + std::string(arg) + "' is not an option and is ignored");
    else if (letters.find(arg[1]) == std::string_view::npos)
      print_warning(program, unknown_option_warning(arg));
  }
}

std::vector<std::optional<std::string>> letter_option_values(int argc, const char* const* argv,
                                                             std::string_view letters) {
  std::vector<std::optional<std::string>> values(letters.size());
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg.size() < 2 || arg[0] != '-') continue;
    const std::size_t slot = letters.find(arg[1]);
    if (slot != std::string_view::npos) values[slot] = std::string(arg.substr(2));
  }
  return values;
}

}  // namespace quilm
