#include "pipeline/options.hpp"

#include <iterator>
#include <utility>
#include <vector>

#include "pipeline/bam_export.hpp"
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
  // Each ignored one is kept as given, for its warning.
  EXPECT_EQ(p.options.ignored_options, (std::vector<std::string>{"-Z9", "-lfoo", "-"}));
  EXPECT_TRUE(parse(kRequired).options.ignored_options.empty());
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
  // An unknown long option is refused with the help text, which lists the
  // long options the driver knows.
  for (DriverKind kind : {DriverKind::kSplice, DriverKind::kMappingOnly}) {
    Parsed p = parse(with({"--no-such=1"}), kind);
    EXPECT_EQ(p.result, -1);
    EXPECT_EQ(p.problem, "unknown option '--no-such=1'\n" +
                             driver_help(kind).substr(0, driver_help(kind).size() - 1));
    EXPECT_NE(p.problem.find("\n  --index-store=<folder>\n"), std::string::npos);
  }
}

TEST(ParamRead, RefusalsNameTheOptionAndTheAcceptedRange) {
  const std::pair<std::vector<const char*>, const char*> refused[] = {
      {with({"-L99999999999"}), "option -L: '99999999999' is out of range (1 to 2147483647)"},
      {with({"-E2147483648"}), "option -E: '2147483648' is out of range (0 to 1000)"},
      {with({"-F99999999999"}), "option -F: '99999999999' is out of range (1 to 2047)"},
      {with({"-S12,99999999999"}), "option -S: '99999999999' is out of range (0 to 2147483647)"},
      {with({"-L12x"}), "option -L: '12x' is not a decimal number"},
      {with({"-Wwo\nrk"}), "option -W: the path holds a line break"},
      {with({"-Oout\r"}), "option -O: the path holds a line break"},
      {with({"-R\nref.fa"}), "option -R: the path holds a line break"},
      {with({"-Dreads\n.fq"}), "option -D: the path holds a line break"},
      {with({"--index-store=a\nb"}), "option --index-store: the path holds a line break"},
  };
  for (const auto& [args, words] : refused) {
    Parsed p = parse(args);
    EXPECT_EQ(p.result, -1) << words;
    EXPECT_NE(p.problem.find(words), std::string::npos) << p.problem;
  }
  Parsed single = parse(with({"-S99999999999"}), DriverKind::kMappingOnly);
  EXPECT_NE(single.problem.find("out of range (0 to 2147483647)"), std::string::npos);
}

TEST(OptionWarnings, TogglesOtherThanZeroOrOneAndSeedsOutsideTheCascade) {
  EXPECT_TRUE(
      option_warnings(DriverKind::kSplice, parse(with({"-B0", "-M0", "-S8,6"})).options).empty());
  Parsed p = parse(with({"-I2", "-M3", "-B7", "-U4", "-Y5", "-A6", "-S7,9"}));
  ASSERT_EQ(p.result, 1) << p.problem;
  const std::vector<std::string> said = option_warnings(DriverKind::kSplice, p.options);
  const char* const expected[] = {"-I2", "-M3", "-B7",           "-U4",
                                  "-Y5", "-A6", "seed length 7", "splice seed length 9"};
  ASSERT_EQ(said.size(), std::size(expected));
  for (std::size_t k = 0; k < said.size(); ++k)
    EXPECT_NE(said[k].find(expected[k]), std::string::npos) << said[k];
  // The values are kept as given.
  EXPECT_EQ(p.options.config.best_toggle, 7);
  EXPECT_EQ(p.options.config.seed_length, 7);
  // The mapping-only driver has no splice seed.
  EXPECT_EQ(option_warnings(DriverKind::kMappingOnly,
                            parse(with({"-S7"}), DriverKind::kMappingOnly).options)
                .size(),
            1u);
}

TEST(ParamRead, MappingOnlyDriverReadsSeedAsOneNumberAndIgnoresGapOptions) {
  Parsed p = parse(with({"-S12", "-N5", "-X7", "-A0"}), DriverKind::kMappingOnly);
  ASSERT_EQ(p.result, 1) << p.problem;
  EXPECT_EQ(p.options.config.seed_length, 12);
  EXPECT_EQ(p.options.config.min_gap_distance, 10);
  EXPECT_EQ(p.options.ignored_options, (std::vector<std::string>{"-N5", "-X7"}));
  EXPECT_EQ(p.options.config.export_all_toggle, 0);
  EXPECT_FALSE(p.options.config.has_splice_line);
  EXPECT_EQ(parse(with({"-S12,8"}), DriverKind::kMappingOnly).result, -1);
  EXPECT_EQ(parse(with({"-A1"}), DriverKind::kMappingOnly).options.config.export_all_toggle, 1);
}

// --bam with its read group, the arguments that reach quilm2sam, and every
// refusal naming its option.
TEST(ParamRead, ExportOptionsAndTheExportCommand) {
  Parsed p = parse(with({"--bam=out/run.bam", "--rg-id=s 1", "--rg=SM:x y", "--rg=P1:z"}));
  ASSERT_EQ(p.result, 1) << p.problem;
  BamExport bam = p.options.bam_export;
  bam.dataset_path = p.options.dataset_path;
  bam.command_line = "quilm2splice -Rref.fa --bam=out/run.bam";
  std::string joined;
  for (const std::string& arg : export_arguments(bam, p.options.config)) joined += arg + "|";
  EXPECT_EQ(joined,
            "-Rref.fa|-Dreads.fq|-Oout|-o|out/run.bam|--sort|--unmapped|--run-kind=splice|"
            "--threads=2|--rg-id=s 1|--rg=SM:x y|"
            "--rg=P1:z|--pg-cl=quilm2splice -Rref.fa --bam=out/run.bam|");
  for (const char* name : {"--bam=a.sam", "--bam=dir/a.cram"})
    EXPECT_EQ(parse(with({name})).result, 1) << name;

  const std::pair<std::vector<const char*>, const char*> refused[] = {
      {with({"--bam=run.txt"}), "option --bam=run.txt: the file name must end in .bam, .sam or"},
      {with({"--bam=.bam"}), "must end in .bam"},
      {with({"--bam="}), "option --bam=<file>: the file name is empty"},
      {with({"--rg-id=s1"}), "label the records of --bam=<file>, which is not given"},
      {with({"--bam=a.bam", "--rg=SM:x"}), "option --rg=SM:x needs --rg-id=<id>"},
      {with({"--bam=a.bam", "--rg-id="}), "option --rg-id=<id>: the ID is empty"},
      {with({"--bam=a.bam", "--rg-id=a\tb"}), "option --rg-id: the ID holds a tab"},
      {with({"--bam=a.bam", "--rg-id=a", "--rg=S:x"}), "option --rg=S:x: needs TAG:VALUE"},
      {with({"--bam=a.bam", "--rg-id=a", "--rg=1M:x"}), "option --rg=1M:x: needs TAG:VALUE"},
      {with({"--bam=a.bam", "--rg-id=a", "--rg=SMx"}), "option --rg=SMx: needs TAG:VALUE"},
      {with({"--bam=a.bam", "--rg-id=a", "--rg=ID:b"}), "the ID of the read group is given by"},
      {with({"--bam=a.bam", "--rg-id=a", "--rg=SM:"}), "option --rg=SM:: the value is empty"},
      {with({"--bam=a.bam", "--rg-id=a", "--rg=SM:x", "--rg=SM:y"}), "the tag SM is given twice"},
      {with({"--bam=a.bam", "--bogus=1"}), "unknown option '--bogus=1'"},
  };
  for (const auto& [args, words] : refused) {
    Parsed r = parse(args);
    EXPECT_EQ(r.result, -1) << words;
    EXPECT_NE(r.problem.find(words), std::string::npos) << r.problem;
  }
}

}  // namespace
}  // namespace quilm
