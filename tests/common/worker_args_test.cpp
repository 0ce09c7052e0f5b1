#include "common/worker_args.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "common/errors.hpp"

namespace quilm {
namespace {

// The launcher's rank variables, cleared before and after each test.
class WorkerArgsTest : public ::testing::Test {
 protected:
  void SetUp() override { clear(); }
  void TearDown() override { clear(); }
  static void clear() {
    for (const char* name : {"OMPI_COMM_WORLD_RANK", "PMI_RANK", "PMIX_RANK"}) unsetenv(name);
  }
  static WorkerArgs parse(std::vector<std::string> words) {
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    return parse_worker_args(static_cast<int>(argv.size()), argv.data());
  }
};

TEST_F(WorkerArgsTest, SeedLengthAndProcessNumberFromTheArguments) {
  setenv("OMPI_COMM_WORLD_RANK", "9", 1);  // an explicit process number wins
  const WorkerArgs args = parse({"quilm_x", "12", "3"});
  EXPECT_EQ(args.seed_length, 12);
  EXPECT_EQ(args.process_number, 3);
}

TEST_F(WorkerArgsTest, ProcessNumberFromTheFirstRankVariableSet) {
  setenv("PMIX_RANK", "7", 1);
  EXPECT_EQ(parse({"junctor", "14"}).process_number, 7);
  setenv("PMI_RANK", "5", 1);
  EXPECT_EQ(parse({"junctor", "14"}).process_number, 5);
  setenv("OMPI_COMM_WORLD_RANK", "2", 1);
  EXPECT_EQ(parse({"junctor", "14"}).process_number, 2);
  setenv("OMPI_COMM_WORLD_RANK", "", 1);  // empty: the next one counts
  EXPECT_EQ(parse({"junctor", "14"}).process_number, 5);
  setenv("PMI_RANK", "x", 1);
  EXPECT_THROW(parse({"junctor", "14"}), UsageError);
}

TEST_F(WorkerArgsTest, BadCommandLinesAreUsageErrors) {
  const std::vector<std::vector<std::string>> bad = {
      {"quilm_x"},                  // no seed length
      {"quilm_x", "14"},            // no process number anywhere
      {"quilm_x", "14", "0", "1"},  // one argument too many
      {"quilm_x", "--seed", "14", "0"},
      {"quilm_x", "1x", "0"},
      {"quilm_x", "14", "-1"},
      {"quilm_x", "14", "2000000000"},
  };
  for (const auto& words : bad) EXPECT_THROW(parse(words), UsageError) << words.size();
}

}  // namespace
}  // namespace quilm
