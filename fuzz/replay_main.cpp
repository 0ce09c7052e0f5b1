// Replays every file of the corpus folders named on the command line through
// the harness named first, so that the normal test run guards the inputs
// found by fuzzing without running the fuzzer. Every harness is linked in,
// its entry point renamed <name>_fuzz_one_input by the build.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#define QUILM_HARNESS(name) \
  extern "C" int name##_fuzz_one_input(const std::uint8_t* data, std::size_t size);
#include "replay_harnesses.inc"
#undef QUILM_HARNESS

namespace {

using Harness = int (*)(const std::uint8_t* data, std::size_t size);

struct NamedHarness {
  std::string_view name;
  Harness run;
};

constexpr NamedHarness kHarnesses[] = {
#define QUILM_HARNESS(name) {#name, name##_fuzz_one_input},
#include "replay_harnesses.inc"
#undef QUILM_HARNESS
};

Harness find_harness(std::string_view name) {
  for (const NamedHarness& h : kHarnesses)
    if (h.name == name) return h.run;
  return nullptr;
}

std::vector<std::filesystem::path> corpus_files(const char* folder) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    if (entry.is_regular_file()) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

void replay(Harness harness, const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::printf("replay %s (%zu bytes)\n", file.string().c_str(), bytes.size());
  std::fflush(stdout);
  harness(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s <harness> <corpus folder>...\n", argv[0]);
    return 2;
  }
  const Harness harness = find_harness(argv[1]);
  if (!harness) {
    std::fprintf(stderr, "%s: no harness '%s'\n", argv[0], argv[1]);
    return 2;
  }
  std::size_t count = 0;
  for (int i = 2; i < argc; ++i) {
    for (const auto& file : corpus_files(argv[i])) {
      replay(harness, file);
      ++count;
    }
  }
  if (count == 0) {
    std::fprintf(stderr, "%s: no corpus files\n", argv[0]);
    return 1;
  }
  std::printf("%zu inputs replayed\n", count);
  return 0;
}
