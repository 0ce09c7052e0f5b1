#include "common/run_config.hpp"

#include "common/errors.hpp"
#include "support/test_support.hpp"

namespace quilm {
namespace {

class RunConfigTest : public test::TempDirTest {};

TEST_F(RunConfigTest, RunConfigRoundTripsBothForms) {
  RunConfig c;
  c.work_folder = path("a folder with blanks");
  c.ref_path = "ref.fa";
  c.output_path = "out";
  c.segment_count = 3;
  c.read_count = 10;
  c.export_all_toggle = 1;
  write_run_config(path("config.txt"), c);
  EXPECT_EQ(test::slurp(path("config.txt")),
            c.work_folder + "\nref.fa\nout\n3 10 100 2 0 14 1 1 0 1 1 1\n");
  RunConfig back = read_run_config(path("config.txt"), false);
  EXPECT_EQ(back.work_folder, c.work_folder);
  EXPECT_EQ(back.read_count, 10);
  EXPECT_THROW(read_run_config(path("config.txt"), true), InputError);

  c.has_splice_line = true;
  write_run_config(path("config.txt"), c);
  append_log_line(path("config.txt"), "The Time of x : 1.0 sec\n");
  back = read_run_config(path("config.txt"), true);
  EXPECT_EQ(back.max_gap_distance, 50000);
  EXPECT_EQ(back.splice_seed_length, 14);
}

}  // namespace
}  // namespace quilm
