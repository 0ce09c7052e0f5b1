#include "common/progress_display.hpp"

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "support/test_support.hpp"

namespace quilm {
namespace {

TEST(ProgressLine, SaysReadsDoneRateAndTimeLeft) {
  EXPECT_EQ(progress_line(1000, 5000, 2.0),
            "1000 of 5000 reads (20.0%), 500 reads/s, 0:00:08 left");
  EXPECT_EQ(progress_line(3600, 3600 * 1001, 1.0),
            "3600 of 3603600 reads (0.1%), 3600 reads/s, 0:16:40 left");
  EXPECT_EQ(progress_line(1, 3601, 1.0), "1 of 3601 reads (0.0%), 1 reads/s, 1:00:00 left");
  EXPECT_EQ(progress_line(5000, 5000, 4.0),
            "5000 of 5000 reads (100.0%), 1250 reads/s, 0:00:00 left");
  // Nothing done yet: no rate to tell the time left by.
  EXPECT_EQ(progress_line(0, 5000, 30.0), "0 of 5000 reads (0.0%)");
  EXPECT_EQ(progress_line(0, 0, 3.0), "0 of 0 reads (100.0%)");
  // An unknown total: the reads and the rate only.
  EXPECT_EQ(progress_line(250, -1, 0.5), "250 reads, 500 reads/s");
  // Another unit, in every part of the line.
  EXPECT_EQ(progress_line(1000, 5000, 2.0, "records"),
            "1000 of 5000 records (20.0%), 500 records/s, 0:00:08 left");
  EXPECT_EQ(progress_line(250, -1, 0.5, "records"), "250 records, 500 records/s");
}

TEST(ProgressThrottle, LogGetsOneLineAMinuteAndNoneBeforeTheFirstMinute) {
  ProgressThrottle log(false);
  EXPECT_FALSE(log.due(0.5));
  EXPECT_FALSE(log.due(59.9));
  EXPECT_TRUE(log.due(60.0));
  EXPECT_FALSE(log.due(60.5));
  EXPECT_FALSE(log.due(119.9));
  EXPECT_TRUE(log.due(125.0));
  EXPECT_FALSE(log.due(184.0));  // counted from the last line, not the minute mark
  EXPECT_TRUE(log.due(185.0));
  ProgressThrottle terminal(true);
  EXPECT_FALSE(terminal.due(0.5));
  EXPECT_TRUE(terminal.due(1.0));
  EXPECT_FALSE(terminal.due(1.5));
  EXPECT_TRUE(terminal.due(2.2));
}

class ProgressDisplayTest : public test::TempDirTest {
 protected:
  // What the display wrote, driven by a clock the test sets.
  std::string shown(bool terminal, const std::vector<std::pair<double, long>>& updates,
                    bool finish) {
    std::FILE* out = std::fopen(path("shown").c_str(), "w");
    double now = 0;
    std::string text;
    {
      ProgressDisplay display("quilm2splice: stage", out, terminal, [&now] { return now; });
      for (const auto& [seconds, done] : updates) {
        now = seconds;
        display.update(done, 1000);
      }
      if (finish) display.finish();
      std::fflush(out);
      text = test::slurp(path("shown"));
    }
    std::fclose(out);
    return text;
  }
};

TEST_F(ProgressDisplayTest, LogLinesStandAloneAndAShortStageWritesNone) {
  EXPECT_EQ(shown(false, {{1, 10}, {30, 100}, {59, 200}}, true), "");
  EXPECT_EQ(shown(false, {{30, 100}, {60, 200}, {90, 300}, {120, 400}}, true),
            "quilm2splice: stage: 200 of 1000 reads (20.0%), 3 reads/s, 0:04:00 left\n"
            "quilm2splice: stage: 400 of 1000 reads (40.0%), 3 reads/s, 0:03:00 left\n");
}

TEST_F(ProgressDisplayTest, TerminalLineIsRedrawnInPlaceAndClearedAtTheEnd) {
  const std::string a = "quilm2splice: stage: 10 of 1000 reads (1.0%), 10 reads/s, 0:01:39 left";
  const std::string b = "quilm2splice: stage: 500 of 1000 reads (50.0%), 250 reads/s, 0:00:02 left";
  const std::string c = "quilm2splice: stage: 999 of 1000 reads (99.9%), 333 reads/s, 0:00:00 left";
  EXPECT_EQ(shown(true, {{1, 10}, {1.5, 20}, {2, 500}, {3, 999}}, true),
            "\r" + a + "\r" + b + "\r" + c + "\r" + std::string(c.size(), ' ') + "\r");
  // A shorter line blanks out the rest of the longer one before it.
  const std::string d = "quilm2splice: stage: 5 of 1000 reads (0.5%), 1 reads/s, 0:16:35 left";
  std::string redrawn = "\r" + b + "\r" + d;
  redrawn.resize(2 + 2 * b.size(), ' ');
  EXPECT_EQ(shown(true, {{2, 500}, {5, 5}}, false), redrawn);
  // Nothing drawn, nothing to clear.
  EXPECT_EQ(shown(true, {{0.2, 1}}, true), "");
}

}  // namespace
}  // namespace quilm
