// Seed 14 (bigmem: the full index takes 1 GiB of key tables and its
// positions): both index variants write byte-identical
// records in all three selection modes, and the built program maps with the
// reduced index by default.
#include <random>
#include <string>

#include "common/output_file.hpp"
#include "common/seed_code.hpp"
#include "support/config_file.hpp"
#include "support/test_support.hpp"
#include "worker/read_mapping.hpp"

namespace quilm {
namespace {

class Seed14Test : public test::TempDirTest {};

TEST_F(Seed14Test, FullAndReducedIndexWriteTheSameRecords) {
  std::mt19937 rng(14);
  auto bases = [&](int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += "ACGT"[rng() % 4];
    return s;
  };
  std::string seg;
  while (seg.size() < 60000) {
    if (seg.size() > 1000 && rng() % 3 == 0) {
      std::string copy = seg.substr(rng() % (seg.size() - 500), 100 + rng() % 300);
      for (char& c : copy)
        if (rng() % 40 == 0) c = "ACGT"[rng() % 4];
      seg += copy;
    } else if (rng() % 7 == 0) {
      seg += std::string(rng() % 20 + 1, 'N') + "acgtgcattgac";
    } else {
      seg += bases(200);
    }
  }
  test::spit(path("1.txt"), seg);
  std::string reads;
  for (int r = 1; r <= 2000; ++r) {
    int n = 60 + static_cast<int>(rng() % 90);
    std::string read = seg.substr(rng() % (seg.size() - n), n);
    for (int m = rng() % 4; m > 0; --m) read[rng() % n] = "ACGTN"[rng() % 5];
    if (rng() % 8 == 0) read.erase(rng() % (n - 1), 1);
    if (rng() % 2) {
      std::string o;
      reverse_complement(read, o);
      read = o;
    }
    reads += std::to_string(r) + "\t" + read + "\n";
  }
  test::spit(path("0.fastq"), reads);

  Segment segment = load_segment(path("1.txt"), 1);
  std::string full_out[4], red_out[4];
  const int modes[4][3] = {{1, 0, 0}, {1, 1, 0}, {0, 0, 1}, {1, 0, 1}};  // best, export, indel
  {
    SeedIndex full = build_seed_index(segment, 14);
    for (int m = 0; m < 4; ++m) {
      MapSettings s;
      s.seed_length = 14;
      s.best_toggle = modes[m][0];
      s.export_all_toggle = modes[m][1];
      s.indel_toggle = modes[m][2];
      MapStats stats;
      OutputFile out(path("full.r"));
      map_reads(segment, full, path("0.fastq"), out, s, stats);
      out.close();
      full_out[m] = test::slurp(path("full.r"));
    }
  }
  ReducedSeedIndex red = build_reduced_seed_index(segment, 14);
  for (int m = 0; m < 4; ++m) {
    MapSettings s;
    s.seed_length = 14;
    s.best_toggle = modes[m][0];
    s.export_all_toggle = modes[m][1];
    s.indel_toggle = modes[m][2];
    MapStats stats;
    OutputFile out(path("red.r"));
    map_reads(segment, red, path("0.fastq"), out, s, stats);
    out.close();
    red_out[m] = test::slurp(path("red.r"));
    EXPECT_EQ(red_out[m], full_out[m]) << "mode " << m;
    EXPECT_GT(red_out[m].size(), 1000u);
  }

  // The program at seed 14 with -Y1 (reduced) writes the best-mode records.
  test::spit(path("taskmpi.txt"), "0 ");
  RunConfig config;
  config.work_folder = dir();
  config.ref_path = "ref";
  config.output_path = "out";
  config.segment_count = 1;
  config.read_count = 2000;
  test::write_config(dir(), config);
  test::RunResult p = test::run_program_in(dir(), test::program_path("quilm_x"), {"14", "0"});
  EXPECT_EQ(p.status, 0) << p.err;
  EXPECT_EQ(test::slurp(path("1.r")), full_out[0]);
}

}  // namespace
}  // namespace quilm
