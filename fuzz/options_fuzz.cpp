// The drivers' command line: each input line is one argument, parsed by both
// drivers; a parse that succeeds is echoed as the driver would echo it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.hpp"
#include "pipeline/options.hpp"

namespace {

std::vector<std::string> arguments(std::string_view text) {
  std::vector<std::string> args{"driver"};
  while (!text.empty()) {
    const std::size_t nl = text.find('\n');
    args.emplace_back(text.substr(0, nl));
    if (nl == std::string_view::npos) break;
    text.remove_prefix(nl + 1);
  }
  return args;
}

void parse_as(quilm::DriverKind kind, const std::vector<std::string>& args) {
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  argv.push_back(nullptr);
  quilm::DriverOptions options;
  std::string problem;
  const int status =
      quilm::param_read(kind, static_cast<int>(args.size()), argv.data(), options, problem);
  if (status == 1) quilm::print_parameters(kind, options);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::string> args = arguments(quilm::fuzz::as_text(data, size));
  quilm::fuzz::refuse_cleanly([&] {
    parse_as(quilm::DriverKind::kSplice, args);
    parse_as(quilm::DriverKind::kMappingOnly, args);
  });
  return 0;
}
