// Every program reports a full disk: its work folder lies on a small disk
// that is filled before the program runs (or its output is /dev/full), and
// the program must say which file it could not write and end with a
// non-zero status. Mounting the small disk needs root; without it the tests
// are skipped.
#include <filesystem>
#include <memory>
#include <random>

#include "common/task_table.hpp"
#include "splice/splice_test_data.hpp"
#include "support/config_file.hpp"
#include "support/test_support.hpp"

namespace quilm {
namespace {

using test::spit;
namespace fs = std::filesystem;

class FullDisk : public test::TempDirTest {
 protected:
  void expect_full(const test::RunResult& r, const std::string& file) {
    EXPECT_NE(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("No space left on device"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(file), std::string::npos) << r.err;
  }
  // The work folder on a small disk, to be filled once the inputs are in.
  std::unique_ptr<test::SmallDisk> small_work_folder() {
    auto disk = std::make_unique<test::SmallDisk>(path("work"), 1 << 20);
    if (!disk->mounted()) disk.reset();
    return disk;
  }
  std::string bases(std::size_t n) {
    std::mt19937 rng(5);
    std::string s;
    for (std::size_t i = 0; i < n; ++i) s += "ACGT"[rng() % 4];
    return s;
  }
};

TEST_F(FullDisk, SeedMappingWorker) {
  const std::string genome = bases(3000);
  auto disk = small_work_folder();
  if (!disk) GTEST_SKIP() << "mounting a small disk needs root";
  RunConfig c;
  c.work_folder = path("work");
  c.segment_count = 1;
  c.read_count = 1;
  c.seed_length = 6;
  test::write_config(dir(), c);
  write_task_table(path("work"), {0});
  spit(path("work/1.txt"), genome);
  spit(path("work/8.fastq"), "1\t" + genome.substr(500, 60) + "\n");
  disk->fill();
  expect_full(test::run_program_in(dir(), test::program_path("quilm_x"), {"6", "0"}), "1.r");
}

TEST_F(FullDisk, SplitReadWorker) {
  std::string genome = test::random_bases(3000, 17);
  test::place_intron(genome, 1000, 700, "GT", "AG");
  auto disk = small_work_folder();
  if (!disk) GTEST_SKIP() << "mounting a small disk needs root";
  RunConfig c;
  c.work_folder = path("work");
  c.segment_count = 1;
  c.read_count = 4;
  c.max_read_length = 60;
  c.has_splice_line = true;
  c.splice_seed_length = 10;
  test::write_config(dir(), c);
  write_task_table(path("work"), {0});
  spit(path("work/1.txt"), genome);
  spit(path("work/splice0.fastq"), "4\t" + test::junction_read(genome, 1000, 700, 20, 30) + "\n");
  disk->fill();
  expect_full(test::run_program_in(dir(), test::program_path("junctor"), {"10", "0"}), "1.r");
}

TEST_F(FullDisk, ReadExtraction) {
  spit(path("reads.fq"), "@a\n" + bases(100) + "\n+\n" + std::string(100, 'I') + "\n");
  spit(path("hits"), "");
  expect_full(test::run_program_in(dir(), test::program_path("tailfetch"),
                                   {"-Freads.fq", "-Rhits", "-O/dev/full"}),
              "/dev/full");
}

TEST_F(FullDisk, AnnotationPreparation) {
  auto disk = small_work_folder();
  if (!disk) GTEST_SKIP() << "mounting a small disk needs root";
  disk->fill();
  auto r = test::run_program_in(dir(), test::program_path("annoprep"),
                                {"-F" + test::source_path("examples/genome.fa"),
                                 "-G" + test::source_path("tests/tools/annoprep/data/mini.gtf"),
                                 "-Tgtf", "-W" + path("work")});
  expect_full(r, path("work"));
  // Nothing half-written is left under the final names.
  for (const char* name : {"genome_info", "refFlat.txt", "refMrna_sort.fa"})
    EXPECT_FALSE(test::file_exists(path("work/") + name)) << name;
}

TEST_F(FullDisk, JunctionAnnotation) {
  spit(path("genome.fa"), ">chr1\n" + bases(8000) + "\n");
  spit(path("refFlat.txt"), "chr1\tT1\t+\t2\t100,700\t200,900\t\n");
  spit(path("hits"), "");
  spit(path("run-splice-high"), "10\t" + std::string(50, 'A') + "\nF\tchr1\t19\t0\t1000\t5000\n");
  auto disk = small_work_folder();
  if (!disk) GTEST_SKIP() << "mounting a small disk needs root";
  disk->fill();
  expect_full(test::run_program_in(dir(), test::program_path("refjunc"),
                                   {"-Cgenome.fa", "-RrefFlat.txt", "-Fhits", "-Orun", "-Wwork",
                                    "-N100", "-X10000"}),
              "junction");
}

}  // namespace
}  // namespace quilm
