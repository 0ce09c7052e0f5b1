#include "pipeline/launch.hpp"

#include "common/errors.hpp"
#include "pipeline/worker_memory.hpp"
#include "support/test_support.hpp"

namespace quilm {
namespace {

class LauncherFile : public test::TempDirTest {};

TEST_F(LauncherFile, FirstLineIsThePathSecondTheExtraArguments) {
  EXPECT_FALSE(read_launcher(path("absent.txt")).use_mpi);
  test::spit(path("m.txt"), "/opt/mpi dir/bin/mpirun  \r\n--hostfile hosts\t -x A\r\n");
  Launcher l = read_launcher(path("m.txt"));
  EXPECT_TRUE(l.use_mpi);
  EXPECT_EQ(l.path, "/opt/mpi dir/bin/mpirun");
  EXPECT_EQ(l.extra_args, (std::vector<std::string>{"--hostfile", "hosts", "-x", "A"}));
  test::spit(path("empty.txt"), "  \n");
  EXPECT_THROW(read_launcher(path("empty.txt")), LaunchError);
}

TEST(WorkerMemory, SharedIndexCountsOncePerMachine) {
  constexpr std::uint64_t kMiB = 1 << 20;
  const std::uint64_t reduced = estimate_index_bytes(100 * kMiB, 14, true);
  const std::uint64_t full = estimate_index_bytes(100 * kMiB, 14, false);
  EXPECT_GT(full, reduced + 500 * kMiB);
  EXPECT_LT(estimate_index_bytes(100 * kMiB, 12, false), reduced);
  // Eight processes sharing a stored index need less than eight private ones,
  // and adding a process adds only its private part.
  const std::uint64_t shared8 = estimate_machine_bytes(100 * kMiB, 14, false, 8, 1, true);
  EXPECT_LT(shared8, estimate_machine_bytes(100 * kMiB, 14, false, 8, 1, false));
  EXPECT_EQ(estimate_machine_bytes(100 * kMiB, 14, false, 9, 1, true) - shared8,
            estimate_private_bytes(100 * kMiB));
  // Processes on different segments map different stored indexes: sixteen
  // of them on sixteen segments hold sixteen, as many as private ones.
  EXPECT_EQ(estimate_machine_bytes(100 * kMiB, 14, true, 16, 16, true),
            estimate_machine_bytes(100 * kMiB, 14, true, 16, 16, false));
  EXPECT_EQ(estimate_machine_bytes(100 * kMiB, 14, true, 16, 4, true),
            5 * reduced + 16 * estimate_private_bytes(100 * kMiB));
  // The stage's line gives the same estimate, in whole MiB rounded up.
  MemoryPlan small{"splice stage", 100 * kMiB, 14, true, 2, 2};
  const std::uint64_t peak = estimate_machine_bytes(100 * kMiB, 14, true, 2, 2, true);
  EXPECT_EQ(planned_peak_bytes(small), peak);
  EXPECT_EQ(peak_note(small),
            "; about " + std::to_string((peak + kMiB - 1) / kMiB) + " MiB of memory at the peak");
  small.concurrent_workers = 0;
  EXPECT_EQ(peak_note(small), "");
  MemoryPlan plan{"mapping cycle with seed 14", std::uint64_t{1} << 40, 14, false, 4};
  try {
    check_worker_memory(plan, "quilm2");
    FAIL() << "a terabyte segment fitted";
  } catch (const Error& e) {
    const std::string text = e.what();
    EXPECT_NE(text.find("-C"), std::string::npos);
    EXPECT_NE(text.find("-Y1"), std::string::npos);
    EXPECT_NE(text.find("available"), std::string::npos);
  }
}

}  // namespace
}  // namespace quilm
