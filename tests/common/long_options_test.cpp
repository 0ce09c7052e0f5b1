#include "common/long_options.hpp"

#include "common/errors.hpp"
#include "pipeline/options.hpp"
#include "sam/sam_options.hpp"
#include "support/test_support.hpp"

namespace quilm {
namespace {

const char* const kHelp =
    "Usage: tool -R<x> [--mates=<file>] [--rescue]\n"
    "Does things.\n"
    "  -R<x>               a one-letter option\n"
    "  --mates=<file>      takes a value\n"
    "  --rescue            takes none\n"
    "  --index-store=<folder>\n"
    "                      meaning below a long option\n"
    "                      --not-an-option in a meaning\n"
    "  --help              this text\n";

std::vector<std::string> join(const std::vector<std::string>& args) {
  return join_long_option_values(args, long_options_in_help(kHelp));
}

std::string refusal(const std::vector<std::string>& args) {
  try {
    join(args);
  } catch (const UsageError& e) {
    return e.what();
  }
  return "(accepted)";
}

TEST(LongOptions, HelpLinesListTheOptionsWithAndWithoutValues) {
  const auto options = long_options_in_help(kHelp);
  ASSERT_EQ(options.size(), 4u);
  EXPECT_EQ(options[0].name, "mates");
  EXPECT_TRUE(options[0].takes_value);
  EXPECT_EQ(options[1].name, "rescue");
  EXPECT_FALSE(options[1].takes_value);
  EXPECT_EQ(options[2].name, "index-store");
  EXPECT_TRUE(options[2].takes_value);
  EXPECT_EQ(options[3].name, "help");
}

TEST(LongOptions, EveryProgramsHelpTextKnowsItsOwnOptions) {
  const auto driver = long_options_in_help(driver_help(DriverKind::kSplice));
  const auto named = [](const std::vector<LongOption>& list, const std::string& name) {
    for (const auto& o : list)
      if (o.name == name) return o.takes_value ? 2 : 1;
    return 0;
  };
  EXPECT_EQ(named(driver, "threads"), 2);
  EXPECT_EQ(named(driver, "mates"), 2);
  EXPECT_EQ(named(driver, "rescue"), 1);
  EXPECT_EQ(named(driver, "no-index-store"), 1);
  EXPECT_EQ(named(long_options_in_help(driver_help(DriverKind::kMappingOnly)), "rescue"), 0);
  const auto sam = long_options_in_help(sam::sam_usage());
  EXPECT_EQ(named(sam, "sort-memory"), 2);
  EXPECT_EQ(named(sam, "mate-rescue"), 1);
}

TEST(LongOptions, SeparatedValuesAreJoinedAndTheRestKept) {
  using V = std::vector<std::string>;
  EXPECT_EQ(join({"-Rx", "--mates", "R2.fq", "--rescue", "-Oout"}),
            (V{"-Rx", "--mates=R2.fq", "--rescue", "-Oout"}));
  EXPECT_EQ(join({"--mates=R2.fq", "--index-store", "a b", "--mates="}),
            (V{"--mates=R2.fq", "--index-store=a b", "--mates="}));
  // A value that begins with '-' goes after '='; a lone "--" and plain
  // arguments are the program's to judge.
  EXPECT_EQ(join({"--mates=-odd", "--", "word", "-"}), (V{"--mates=-odd", "--", "word", "-"}));
  EXPECT_EQ(join({"--mates", ""}), (V{"--mates="}));
}

TEST(LongOptions, MissingValuesAndValuesOfFlagsAreRefusedByName) {
  EXPECT_EQ(refusal({"--mates", "-Oout"}),
            "option '--mates': value missing (the next argument '-Oout' is an option; write "
            "--mates=<value> for a value that begins with '-')");
  EXPECT_EQ(refusal({"-Rx", "--mates"}),
            "option '--mates': value missing (--mates=<value>, or the value as the next "
            "argument)");
  EXPECT_EQ(refusal({"--rescue=1"}), "option '--rescue' takes no value ('--rescue=1')");
}

TEST(LongOptions, UnknownOptionsNameTheClosestKnownOne) {
  EXPECT_EQ(refusal({"--mate=x"}), "unknown option '--mate=x'; did you mean '--mates='?");
  EXPECT_EQ(refusal({"--rescu"}), "unknown option '--rescu'; did you mean '--rescue'?");
  EXPECT_EQ(refusal({"--index_store", "x"}),
            "unknown option '--index_store'; did you mean '--index-store='?");
  EXPECT_EQ(refusal({"--verison"}), "unknown option '--verison'; did you mean '--version'?");
  EXPECT_EQ(refusal({"--xyzzy=1"}), "unknown option '--xyzzy=1'; see --help for the options");
  // The first unknown option is refused even when a known one follows.
  EXPECT_EQ(refusal({"--bogus", "--mates", "x"}),
            "unknown option '--bogus'; see --help for the options");
}

TEST(LongOptions, EditDistanceCountsSingleLetterChanges) {
  EXPECT_EQ(edit_distance("", ""), 0u);
  EXPECT_EQ(edit_distance("mates", ""), 5u);
  EXPECT_EQ(edit_distance("mate", "mates"), 1u);
  EXPECT_EQ(edit_distance("mtaes", "mates"), 2u);
  EXPECT_EQ(edit_distance("kitten", "sitting"), 3u);
}

}  // namespace
}  // namespace quilm
