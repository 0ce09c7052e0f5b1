// The whole splice pipeline on the bundled example, scored against the true
// origin of its simulated reads. Its seed-14 workers use the reduced index
// (under 100 MiB each here), so the run needs no large memory.
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>

#include "support/test_support.hpp"

namespace quilm {
namespace {

struct Hit {
  std::string file;
  std::vector<std::string> fields;  // second line of the record
};

std::vector<std::string> split_ws(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> f;
  for (std::string w; in >> w;) f.push_back(w);
  return f;
}

class WholeRun : public test::TempDirTest {};

TEST_F(WholeRun, ReadsLandInTheRightOutputFileAtTheRightPlace) {
  auto r = test::run_program_in(dir(), test::program_path("quilm2splice"),
                                {"-R" + test::source_path("examples/genome.fa"),
                                 "-D" + test::source_path("examples/reads.fq.gz"),
                                 "-O" + path("run"), "-W" + path("work"), "-C2"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.substr(r.out.size() - 11), "pemu2splice");
  const std::string config = test::slurp(path("config.txt"));
  EXPECT_NE(config.find("The Time of splice mapping 14 seed used : "), std::string::npos);
  EXPECT_NE(config.find("The 14 seed splice mapping result,match read numeber: "),
            std::string::npos);
  EXPECT_NE(config.find("The total Time of splice : "), std::string::npos);

  std::map<int, std::vector<Hit>> hits;
  for (const char* suffix : {"-quilm2high", "-quilm2low", "-quilm2mutil", "-splice-high",
                             "-splice-low", "-splice-mutil"}) {
    std::istringstream in(test::slurp(path(std::string("run") + suffix)));
    for (std::string first, second; std::getline(in, first) && std::getline(in, second);)
      hits[std::stoi(first)].push_back({suffix, split_ws(second)});
  }
  int linear = 0, linear_ok = 0, spliced = 0, spliced_found = 0, spliced_wrong = 0;
  std::istringstream truth(test::slurp(test::source_path("examples/reads.truth.tsv")));
  const std::regex one_intron(R"((\d+)M(\d+)N(\d+)M)");
  for (std::string line; std::getline(truth, line);) {
    if (line[0] == '#') continue;
    auto t = split_ws(line);  // read chrom pos strand cigar nsub nN indel source ...
    const int read = std::stoi(t[0]);
    const auto& h = hits[read];
    for (const Hit& x : h) EXPECT_EQ(x.file, h[0].file) << "read " << read << " in two files";
    if (t[8] == "random") {
      EXPECT_TRUE(h.empty()) << "random read " << read << " placed";
      continue;
    }
    if (t[7] != "-" || std::stoi(t[5]) + std::stoi(t[6]) > 2) continue;
    std::smatch m;
    if (t[4] == "100M") {
      ++linear;
      linear_ok += h.size() == 1 && h[0].file == "-quilm2high" &&
                   h[0].fields == std::vector<std::string>{t[3] == "+" ? "F" : "R", t[1],
                                                           h[0].fields[2], t[2]};
    } else if (std::regex_match(t[4], m, one_intron) && std::stoi(m[1]) >= 20 &&
               std::stoi(m[3]) >= 20) {
      ++spliced;
      if (h.size() != 1 || h[0].file != "-splice-high") continue;
      ++spliced_found;
      // strand chromosome split errors first second
      const auto& f = h[0].fields;
      const long pos = std::stol(t[2]);
      spliced_wrong += f[1] != t[1] || std::stol(f[4]) != pos ||
                       std::stol(f[5]) != pos + std::stol(m[2]) ||
                       std::stoi(f[2]) != std::stoi(m[1]) - 1;
    }
  }
  EXPECT_GT(linear, 3000);
  EXPECT_GE(linear_ok, linear * 98 / 100) << linear_ok << " of " << linear;
  EXPECT_GT(spliced, 800);
  EXPECT_GE(spliced_found, spliced * 85 / 100) << spliced_found << " of " << spliced;
  EXPECT_EQ(spliced_wrong, 0);

  // The closing summary counts the reads of the six files.
  long once = 0, more = 0, split = 0;
  for (const auto& [read, h] : hits) {
    if (h.empty()) continue;
    ++(h.size() == 1 ? once : more);
    split += h[0].file.rfind("-splice", 0) == 0;
  }
  const long reads = 5928;
  const auto line = [&](long n, const char* what) {
    char text[96];
    std::snprintf(text, sizeof text, "  %ld (%.2f%%) %s\n", n, 100.0 * n / reads, what);
    return std::string(text);
  };
  EXPECT_NE(r.err.find(std::to_string(reads) + " reads; of these:\n" +
                       line(reads - once - more, "aligned 0 times") +
                       line(once, "aligned exactly 1 time") + line(more, "aligned >1 times") +
                       line(split, "aligned split across an intron")),
            std::string::npos)
      << r.err;
}

// One-letter options that other aligners know (-p4, -t8) are ignored, each
// with a warning on stderr; the run writes the same bytes as without them.
TEST_F(WholeRun, UnknownOneLetterOptionsAreWarnedAboutAndChangeNothing) {
  const std::vector<std::string> args = {"-R" + test::source_path("examples/genome.fa"),
                                         "-D" + test::source_path("examples/reads.fq.gz"), "-Orun",
                                         "-Wwork", "-C2"};
  std::vector<std::string> with_extra = args;
  with_extra.insert(with_extra.begin() + 2, {"-p4", "-t8"});
  std::filesystem::create_directories(path("plain"));
  std::filesystem::create_directories(path("extra"));
  const auto plain = test::run_program_in(path("plain"), test::program_path("quilm2splice"), args);
  const auto extra =
      test::run_program_in(path("extra"), test::program_path("quilm2splice"), with_extra);
  ASSERT_EQ(plain.status, 0) << plain.err;
  ASSERT_EQ(extra.status, 0) << extra.err;
  EXPECT_EQ(plain.err.find("warning"), std::string::npos) << plain.err;
  EXPECT_EQ(extra.err.substr(0, extra.err.find("\nquilm2splice: [")),
            "quilm2splice: warning: option -p4 is not known and is ignored\n"
            "quilm2splice: warning: option -t8 is not known and is ignored");
  EXPECT_EQ(plain.out, extra.out);
  EXPECT_EQ(test::without_times(test::slurp(path("plain/config.txt"))),
            test::without_times(test::slurp(path("extra/config.txt"))));
  for (const char* suffix : {"-quilm2high", "-quilm2low", "-quilm2mutil", "-splice-high",
                             "-splice-low", "-splice-mutil"}) {
    const std::string name = std::string("run") + suffix;
    EXPECT_EQ(test::slurp(path("plain/" + name)), test::slurp(path("extra/" + name))) << name;
  }
  EXPECT_GT(test::slurp(path("plain/run-splice-high")).size(), 1000u);
}

}  // namespace
}  // namespace quilm
