// Seed length 14: the reduced index writes the same splice result bytes as
// the full one (which alone takes 1 GiB of key tables).
#include <random>
#include <string>
#include <vector>

#include "splice/splicing_mapping.hpp"
#include "splice_test_data.hpp"
#include "support/test_support.hpp"

namespace quilm {
namespace {

class JunctorBigmemTest : public test::TempDirTest {};

TEST_F(JunctorBigmemTest, ReducedIndexMatchesFullIndexAtSeed14) {
  std::string g = test::random_bases(200000, 31);
  const char* kinds[][2] = {{"GT", "AG"}, {"GC", "AG"}, {"AT", "AC"},
                            {"CT", "AC"}, {"CT", "GC"}, {"GT", "AT"}};
  std::mt19937 rng(8);
  std::string reads;
  int number = 0;
  for (int i = 0; i < 180; ++i) {
    const std::size_t at = 1000 + 1000 * static_cast<std::size_t>(i);
    const std::size_t length = 60 + rng() % 800;
    test::place_intron(g, at, length, kinds[i % 6][0], kinds[i % 6][1]);
    for (int r = 0; r < 4; ++r) {
      std::string read = test::junction_read(g, at, length, 15 + rng() % 70, 85);
      read.resize(100);
      if (rng() % 2) read[rng() % 100] = 'A';
      if (r % 2) read = test::reverse_complement_of(read);
      reads += std::to_string(++number) + "\t" + read + "\n";
    }
  }
  test::spit(path("1.txt"), ">seg\n" + g + "\n");
  test::spit(path("splice0.fastq"), reads);
  SpliceSettings settings;
  settings.seed_length = 14;
  splicing_mapping(path("1.txt"), path("splice0.fastq"), path("full.r"), settings);
  splicing_mapping_red(path("1.txt"), path("splice0.fastq"), path("red.r"), settings);
  const std::string full = test::slurp(path("full.r"));
  EXPECT_GT(full.size(), 10000u);
  EXPECT_EQ(full, test::slurp(path("red.r")));
}

}  // namespace
}  // namespace quilm
