#include "common/fastq_record.hpp"

#include <cstring>

namespace quilm {

namespace {

// True when a line holds white space (blank, tab, CR, ...); byte-wide and
// without an early exit, so that the compiler vectorises it.
bool has_space(const char* begin, const char* end) {
  unsigned char found = 0;
  for (const char* c = begin; c < end; ++c) {
    const auto b = static_cast<unsigned char>(*c);
    found |= static_cast<unsigned char>((b == ' ') | (static_cast<unsigned char>(b - 9) < 5));
  }
  return found != 0;
}

}  // namespace

bool take_plain_fastq_record(InputFile& in, PlainFastqRecord& record) {
  const char* begin = in.data();
  const char* end = begin + in.available();
  std::string_view line[4];
  const char* at = begin;
  for (auto& l : line) {
    const void* nl = std::memchr(at, '\n', static_cast<std::size_t>(end - at));
    if (!nl) return false;
    l = std::string_view(at, static_cast<std::size_t>(static_cast<const char*>(nl) - at));
    at = static_cast<const char*>(nl) + 1;
  }
  if (line[0].empty() || line[0][0] != '@' || line[2].empty() || line[2][0] != '+') return false;
  for (int k = 1; k < 4; ++k)
    if (line[k].empty() || has_space(line[k].data(), line[k].data() + line[k].size())) return false;
  record = {line[0], line[1], line[2], line[3]};
  in.consume(static_cast<std::size_t>(at - begin));
  return true;
}

}  // namespace quilm
