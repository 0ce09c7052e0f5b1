// Times the seed-mapping worker's parts on one segment: index build (full or
// reduced), then mapping of the read file in the given modes.
//   worker_bench <segment> <reads> <seed length> <full|reduced> <mode>...
// mode: best | export | first. Prints one line per phase and the peak RSS.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "common/output_file.hpp"
#include "worker/read_mapping.hpp"

using namespace quilm;
using Clock = std::chrono::steady_clock;

static double since(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}
static double cpu_seconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_utime.tv_usec * 1e-6 + u.ru_stime.tv_sec +
         u.ru_stime.tv_usec * 1e-6;
}
static long peak_kib() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

template <class Index>
static void run_modes(const Segment& seg, const Index& index, const char* reads, int L, int argc,
                      char** argv, const char* result) {
  for (int i = 5; i < argc; ++i) {
    MapSettings s;
    s.seed_length = L;
    if (!std::strcmp(argv[i], "export")) s.export_all_toggle = 1;
    if (!std::strcmp(argv[i], "first")) s.best_toggle = 0;
    MapStats stats;
    OutputFile out(result, OutputFile::Mode::kTruncate, std::size_t{20} << 20);
    auto t = Clock::now();
    double c0 = cpu_seconds();
    map_reads(seg, index, reads, out, s, stats);
    out.close();
    double sec = since(t), cpu = cpu_seconds() - c0;
    std::printf("map %s %.3f s (cpu %.3f s) %ld reads %.0f reads/s (%.0f per cpu s) %ld records\n",
                argv[i], sec, cpu, stats.reads, stats.reads / sec, stats.reads / cpu,
                stats.records);
    std::fflush(stdout);
  }
}

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: worker_bench <segment> <reads> <L> <full|reduced> <mode>...\n");
    return 2;
  }
  const int L = std::atoi(argv[3]);
  const bool reduced = !std::strcmp(argv[4], "reduced");
  const std::string result = std::string(argv[2]) + "." + argv[4] + ".r";
  auto t = Clock::now();
  Segment seg = load_segment(argv[1], 1);
  std::printf("load %.3f s\n", since(t));
  t = Clock::now();
  const double c0 = cpu_seconds();
  if (reduced) {
    ReducedSeedIndex index = build_reduced_seed_index(seg, L);
    std::printf("build %.3f s (cpu %.3f s) peak %ld KiB\n", since(t), cpu_seconds() - c0,
                peak_kib());
    std::printf("index %zu positions, %zu keys present, max bucket %d\n", index.position_count,
                index.key_count, index.max_bucket);
    std::fflush(stdout);
    run_modes(seg, index, argv[2], L, argc, argv, result.c_str());
  } else {
    SeedIndex index = build_seed_index(seg, L);
    std::printf("build %.3f s (cpu %.3f s) peak %ld KiB\n", since(t), cpu_seconds() - c0,
                peak_kib());
    std::fflush(stdout);
    run_modes(seg, index, argv[2], L, argc, argv, result.c_str());
  }
  std::printf("peak %ld KiB\n", peak_kib());
  return 0;
}
