#include "pipeline/options.hpp"

#include <vector>

#include "support/test_support.hpp"

namespace quilm {
namespace {

struct Parsed {
  int result;
  DriverOptions options;
  std::string problem;
};

Parsed parse(std::vector<const char*> args, DriverKind kind = DriverKind::kSplice) {
  args.insert(args.begin(), "quilm2splice");
  Parsed p;
  p.result = param_read(kind, static_cast<int>(args.size()), args.data(), p.options, p.problem);
  return p;
}

const std::vector<const char*> kRequired = {"-Rref.fa", "-Dreads.fq", "-Oout", "-Wwork", "-C2"};

std::vector<const char*> with(std::vector<const char*> extra) {
  std::vector<const char*> args = kRequired;
  args.insert(args.end(), extra.begin(), extra.end());
  return args;
}

TEST(ParamRead, DefaultsWhenOnlyTheRequiredOptionsAreGiven) {
  Parsed p = parse(kRequired);
  ASSERT_EQ(p.result, 1) << p.problem;
  const RunConfig& c = p.options.config;
  EXPECT_EQ(c.ref_path, "ref.fa");
  EXPECT_EQ(p.options.dataset_path, "reads.fq");
  EXPECT_EQ(c.max_read_length, 100);
  EXPECT_EQ(c.max_errors, 2);
  EXPECT_EQ(c.seed_length, 14);
  EXPECT_EQ(c.splice_seed_length, 14);
  EXPECT_EQ(c.masked_toggle, 1);
  EXPECT_EQ(c.best_toggle, 1);
  EXPECT_EQ(c.memory_reduction_toggle, 1);
  EXPECT_EQ(p.options.segment_size_mb, 100);
  EXPECT_EQ(c.min_gap_distance, 10);
  EXPECT_EQ(c.max_gap_distance, 50000);
  // The splice driver always keeps every best hit; -A only shows in the echo.
  EXPECT_EQ(c.export_all_toggle, 1);
  EXPECT_TRUE(c.has_splice_line);
}

TEST(ParamRead, LaterOptionsReplaceEarlierOnesAndUnknownLettersAreIgnored) {
  Parsed p = parse(with({"-L50", "-L75", "-Z9", "-lfoo", "-A0", "-", "-E0"}));
  ASSERT_EQ(p.result, 1) << p.problem;
  EXPECT_EQ(p.options.config.max_read_length, 75);
  EXPECT_EQ(p.options.config.max_errors, 0);
  EXPECT_EQ(p.options.export_all_option, 0);
  EXPECT_EQ(p.options.config.export_all_toggle, 1);
}

TEST(ParamRead, SeedOptionForms) {
  EXPECT_EQ(parse(with({"-S12"})).options.config.seed_length, 12);
  EXPECT_EQ(parse(with({"-S12"})).options.config.splice_seed_length, 14);
  Parsed both = parse(with({"-S12,8"}));
  EXPECT_EQ(both.options.config.seed_length, 12);
  EXPECT_EQ(both.options.config.splice_seed_length, 8);
  // The empty first token is skipped: the 8 becomes the seed length.
  Parsed skipped = parse(with({"-S,8"}));
  EXPECT_EQ(skipped.options.config.seed_length, 8);
  EXPECT_EQ(skipped.options.config.splice_seed_length, 14);
  EXPECT_EQ(parse(with({"-S10,6,4"})).options.config.splice_seed_length, 6);
  EXPECT_EQ(parse(with({"-S7"})).result, 1);
}

TEST(ParamRead, RefusedCommandLines) {
  const std::vector<std::vector<const char*>> refused = {
      {},
      {"-Rref.fa", "-Dreads.fq", "-Oout", "-Wwork"},  // no -C
      with({"-C0"}),
      with({"-L0"}),
      with({"-E1001"}),
      with({"-F0"}),
      with({"-R"}),  // empty path
      with({"stray"}),
      with({"-C4a"}),
      with({"-L1x"}),
      with({"-E-1"}),
      with({"-E"}),
      with({"-S12,x"}),
      with({"-L99999999999"}),
  };
  for (const auto& args : refused) {
    Parsed p = parse(args);
    EXPECT_EQ(p.result, -1) << (args.empty() ? "(none)" : args.back());
    EXPECT_FALSE(p.problem.empty());
  }
  EXPECT_EQ(parse(with({"-E1000"})).result, 1);
  EXPECT_NE(parse(with({"-C4a"})).problem.find("-C"), std::string::npos);
}

TEST(ParamRead, MappingOnlyDriverReadsSeedAsOneNumberAndIgnoresGapOptions) {
  Parsed p = parse(with({"-S12", "-N5", "-X7", "-A0"}), DriverKind::kMappingOnly);
  ASSERT_EQ(p.result, 1) << p.problem;
  EXPECT_EQ(p.options.config.seed_length, 12);
  EXPECT_EQ(p.options.config.min_gap_distance, 10);
  EXPECT_EQ(p.options.config.export_all_toggle, 0);
  EXPECT_FALSE(p.options.config.has_splice_line);
  EXPECT_EQ(parse(with({"-S12,8"}), DriverKind::kMappingOnly).result, -1);
  EXPECT_EQ(parse(with({"-A1"}), DriverKind::kMappingOnly).options.config.export_all_toggle, 1);
}

}  // namespace
}  // namespace quilm
