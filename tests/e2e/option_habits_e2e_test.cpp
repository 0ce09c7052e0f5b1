// Long options as the programs take them from a user: the value after '=' or
// in the next argument, --threads=<n> for -C<n>, and a mistyped option
// refused with one line that names the closest known one.
#include "support/test_support.hpp"

namespace quilm {
namespace {

const char* const kOutputs[] = {"-quilm2high",  "-quilm2low",  "-quilm2mutil",
                                "-splice-high", "-splice-low", "-splice-mutil"};

class OptionHabits : public test::TempDirTest {
 protected:
  test::RunResult driver(const std::string& folder, std::vector<std::string> extra) {
    std::filesystem::create_directories(path(folder));
    std::vector<std::string> args = {"-R" + test::source_path("examples/genome.fa"),
                                     "-D" + test::source_path("examples/reads.fq.gz"), "-Oresult",
                                     "-Wwork"};
    args.insert(args.end(), extra.begin(), extra.end());
    return test::run_program_in(path(folder), test::program_path("quilm2splice"), args);
  }
};

TEST_F(OptionHabits, SeparatedValuesAndThreadsGiveTheSameRunAsTheOneArgumentForms) {
  const test::RunResult plain = driver("plain", {"-C2", "--index-store=" + path("store1")});
  ASSERT_EQ(plain.status, 0) << plain.err;
  const test::RunResult habits = driver("habits", {"--threads=2", "--index-store", path("store2")});
  ASSERT_EQ(habits.status, 0) << habits.err;
  EXPECT_NE(habits.out.find("Parallel CPU core number: 2\n"), std::string::npos);
  EXPECT_TRUE(std::filesystem::is_directory(path("store2")));
  EXPECT_FALSE(std::filesystem::exists(path("habits/--index-store")));
  for (const char* suffix : kOutputs)
    EXPECT_EQ(test::slurp(path(std::string("plain/result") + suffix)),
              test::slurp(path(std::string("habits/result") + suffix)))
        << suffix;
}

TEST_F(OptionHabits, RefusalsAreOneLineNamingTheOption) {
  struct Case {
    std::vector<std::string> args;
    std::string line;
  };
  const std::vector<Case> cases = {
      {{"-C2", "--mate=x"},
       "quilm2splice: error: unknown option '--mate=x'; did you mean '--mates='?\n"},
      {{"-C2", "--mates", "-Ux"},
       "quilm2splice: error: option '--mates': value missing (the next argument '-Ux' is an "
       "option; write --mates=<value> for a value that begins with '-')\n"},
      {{"-C2", "--bam"},
       "quilm2splice: error: option '--bam': value missing (--bam=<value>, or the value as the "
       "next argument)\n"},
      {{"--threads=two"},
       "quilm2splice: error: option --threads (-C): 'two' is not a decimal number\n"},
  };
  for (const Case& c : cases) {
    const test::RunResult r = driver("refused", c.args);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.ends_with(c.line)) << r.err;
    EXPECT_EQ(r.err.find("Usage:"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(path("refused/work"))) << r.err;
  }
}

TEST_F(OptionHabits, EveryProgramTakesSeparatedValuesAndRefusesMistypedOptions) {
  const test::RunResult sam = test::run_program_in(dir(), test::program_path("quilm2sam"),
                                                   {"-Rr.fa", "-Dd.fq", "-Orun", "--sort-memor=9"});
  EXPECT_EQ(sam.status, 1);
  EXPECT_EQ(sam.err,
            "quilm2sam: error: unknown option '--sort-memor=9'; did you mean '--sort-memory='?\n");
  // The joined value reaches quilm2sam's own check of it.
  const test::RunResult memory =
      test::run_program_in(dir(), test::program_path("quilm2sam"),
                           {"-Rr.fa", "-Dd.fq", "-Orun", "-o", "x.bam", "--sort-memory", "lots"});
  EXPECT_EQ(memory.status, 1);
  EXPECT_NE(memory.err.find("lots"), std::string::npos) << memory.err;
  for (const char* program : {"tailfetch", "annoprep", "refjunc", "quilm_x", "junctor"}) {
    const test::RunResult r = test::run_program_in(dir(), test::program_path(program), {"--hepl"});
    EXPECT_EQ(r.status, 1) << program;
    EXPECT_EQ(r.err,
              std::string(program) + ": error: unknown option '--hepl'; did you mean '--help'?\n");
  }
}

}  // namespace
}  // namespace quilm
