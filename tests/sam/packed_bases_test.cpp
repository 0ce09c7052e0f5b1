#include "sam/packed_bases.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "support/sequences.hpp"

namespace quilm::sam {
namespace {

TEST(PackedBasesTest, EveryByteReadsBackUpperCasedInAnyWindow) {
  // Long N runs, IUPAC codes, other bytes and lower case between the bases,
  // appended in pieces that do not line up with the packed words.
  std::string bytes = test::congruential_bases(3000, 7);
  for (int i = 0; i < 3000; i += 97) bytes[i] = "acgtRYn-*\x80"[i % 10];
  bytes.replace(500, 300, std::string(300, 'N'));
  bytes[800] = 'n';  // continues the run of N
  bytes[801] = 'R';
  PackedBases packed;
  for (std::size_t at = 0, piece = 1; at < bytes.size(); at += piece, piece = piece * 3 % 71 + 1)
    packed.append(bytes.data() + at, std::min(piece, bytes.size() - at));
  ASSERT_EQ(packed.size(), 3000);
  std::string upper = bytes;
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  std::string out;
  for (std::int64_t start = 0; start < 3000; start += 37) {
    for (std::size_t n : {std::size_t{0}, std::size_t{1}, std::size_t{33}, std::size_t{400}}) {
      const std::size_t m = std::min<std::size_t>(n, 3000 - start);
      out.assign(m, '?');
      packed.fetch(start, m, out.data());
      ASSERT_EQ(out, upper.substr(start, m)) << start << " " << m;
    }
  }
}

}  // namespace
}  // namespace quilm::sam
