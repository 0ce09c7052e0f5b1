#include "common/seed_code.hpp"

namespace quilm {

namespace {
constexpr std::array<char, 256> kComplement = [] {
  std::array<char, 256> t{};
  for (int i = 0; i < 256; ++i) t[i] = static_cast<char>(i);
  t['A'] = 'T';
  t['T'] = 'A';
  t['C'] = 'G';
  t['G'] = 'C';
  return t;
}();
}  // namespace

void reverse_complement(std::string_view read, std::string& out) {
  out.resize(read.size());
  const std::size_t n = read.size();
  for (std::size_t i = 0; i < n; ++i)
    out[n - 1 - i] = kComplement[static_cast<unsigned char>(read[i])];
}

}  // namespace quilm
