#include <map>
#include <sstream>

#include "sam/sam_test_data.hpp"
#include "support/test_support.hpp"

namespace quilm {
namespace {

using test::reverse_complement_of;
using test::slurp;
using test::SmallRun;
using test::spit;

using test::sam_records;
using test::SamLine;

// FLAG RNAME POS MAPQ CIGAR RNEXT PNEXT TLEN, and the tags NH HI MQ MC.
std::string summary_of(const SamLine& r) {
  std::string text = r[1];
  for (int i : {2, 3, 4, 5, 6, 7, 8}) text += " " + r[static_cast<std::size_t>(i)];
  for (const char* tag : {"NH", "HI", "MQ", "MC"})
    for (std::size_t i = 11; i < r.size(); ++i)
      if (r[i].compare(0, 2, tag) == 0) text += " " + r[i];
  return text;
}

// Pairs with hand-made hits in the six files: read 2k-1 is mate 1 of pair
// k, read 2k its mate 2.
class PairedExportTest : public test::TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    const std::string& a = run_.chr_a;
    const std::string& b = run_.chr_b;
    // p1: concordant; p2: 1950 bases apart; p3: same strand; p4: two chromosomes.
    pair(a.substr(100, 50), 'F', "chrA", 100, reverse_complement_of(a.substr(300, 50)), 'R', "chrA",
         300);
    pair(a.substr(0, 50), 'F', "chrA", 0, reverse_complement_of(a.substr(1900, 50)), 'R', "chrA",
         1900);
    pair(a.substr(200, 50), 'F', "chrA", 200, a.substr(400, 50), 'F', "chrA", 400);
    pair(a.substr(500, 50), 'F', "chrA", 500, reverse_complement_of(b.substr(100, 50)), 'R', "chrB",
         100);
    // p5: mate 2 unmapped; p6: neither mapped.
    pair(reverse_complement_of(a.substr(600, 50)), 'R', "chrA", 600, nowhere(), 0, "", 0);
    pair(nowhere(), 0, "", 0, nowhere(), 0, "", 0);
    // p7: mate 1 has three hits (chrB 800, chrA 1500, chrB 700); two pair
    // with mate 2 on chrB 900, the nearer one wins.
    const std::string multi = a.substr(1500, 50);
    const int m = add(multi);
    for (auto [chr, pos] : {std::pair{"chrB", 800}, {"chrA", 1500}, {"chrB", 700}})
      run_.multi += SmallRun::mapping(m, multi, 'F', chr, 0, pos);
    const std::string partner = reverse_complement_of(b.substr(900, 50));
    run_.high += SmallRun::mapping(add(partner), partner, 'R', "chrB", 0, 900);
    // p8, p9: mate 2 has no hit, but lies facing mate 1 with two
    // mismatches, or with two bases deleted; p10: mate 1 reverse, mate 2
    // lies 300 bases before it.
    std::string mismatched = a.substr(1300, 50);
    mismatched[10] = mismatched[10] == 'A' ? 'C' : 'A';
    mismatched[30] = mismatched[30] == 'G' ? 'T' : 'G';
    pair(a.substr(1100, 50), 'F', "chrA", 1100, reverse_complement_of(mismatched), 0, "", 0);
    pair(a.substr(1100, 50), 'F', "chrA", 1100,
         reverse_complement_of(a.substr(1400, 20) + a.substr(1422, 30)), 0, "", 0);
    pair(reverse_complement_of(b.substr(500, 50)), 'R', "chrB", 500, b.substr(200, 50), 0, "", 0);
    spit(path("ref.fa"), run_.fasta());
    spit(path("r1.fq"), mates_[0]);
    spit(path("r2.fq"), mates_[1]);
    for (const char* suffix : {"-quilm2low", "-splice-high", "-splice-low", "-splice-mutil"})
      spit(path(std::string("run") + suffix), "");
    spit(path("run-quilm2high"), run_.high);
    spit(path("run-quilm2mutil"), run_.multi);
  }

  // A read that lies nowhere in the reference.
  static std::string nowhere() {
    std::string s;
    while (s.size() < 50) s += "GATTACA";
    return s.substr(0, 50);
  }
  // The CIGAR of 50 bases from `start` with the two bases after the first
  // `kept` deleted, the deletion placed leftmost as an aligner writes it.
  std::string deletion_cigar(long start, int kept) const {
    const std::string& a = run_.chr_a;
    while (kept > 0 && a[static_cast<std::size_t>(start + kept - 1)] ==
                           a[static_cast<std::size_t>(start + kept + 1)])
      --kept;
    return std::to_string(kept) + "M2D" + std::to_string(50 - kept) + "M";
  }

  // Adds a mate (to r1.fq, then r2.fq in turn) and returns its read number.
  int add(const std::string& sequence) {
    const int k = run_.add(sequence);
    const std::string name = "@p" + std::to_string((k + 1) / 2) + "/" + (k % 2 ? "1" : "2");
    mates_[k % 2 ? 0 : 1] +=
        name + "\n" + sequence + "\n+\n" + std::string(sequence.size(), 'I') + "\n";
    return k;
  }
  // A strand of 0: no hit.
  void pair(const std::string& s1, char strand1, const char* chr1, long pos1, const std::string& s2,
            char strand2, const char* chr2, long pos2) {
    const int k1 = add(s1);
    if (strand1) run_.high += SmallRun::mapping(k1, s1, strand1, chr1, 0, pos1);
    const int k2 = add(s2);
    if (strand2) run_.high += SmallRun::mapping(k2, s2, strand2, chr2, 0, pos2);
  }

  test::RunResult run(const std::vector<std::string>& extra) {
    std::vector<std::string> args = {"-Rref.fa", "-Dr1.fq", "--mates=r2.fq", "-Orun"};
    args.insert(args.end(), extra.begin(), extra.end());
    return test::run_program_in(dir(), test::program_path("quilm2sam"), args);
  }
  int shell(const std::string& command) {
    return std::system(("cd '" + dir() + "' && (" + command + ") >/dev/null 2>&1").c_str());
  }

  SmallRun run_;
  std::string mates_[2];
};

TEST_F(PairedExportTest, EveryKindOfPairFieldByField) {
  const test::RunResult result = run({"-o", "out.sam", "--unmapped", "--max-insert=1000"});
  ASSERT_EQ(result.status, 0) << result.err;
  std::multimap<std::string, std::string> got;
  for (const SamLine& r : sam_records(slurp(path("out.sam")))) got.emplace(r[0], summary_of(r));
  const std::multimap<std::string, std::string> expected = {
      {"p1", "99 chrA 101 60 50M = 301 250 NH:i:1 HI:i:1 MQ:i:60 MC:Z:50M"},
      {"p1", "147 chrA 301 60 50M = 101 -250 NH:i:1 HI:i:1 MQ:i:60 MC:Z:50M"},
      {"p2", "97 chrA 1 60 50M = 1901 1950 NH:i:1 HI:i:1 MQ:i:60 MC:Z:50M"},
      {"p2", "145 chrA 1901 60 50M = 1 -1950 NH:i:1 HI:i:1 MQ:i:60 MC:Z:50M"},
      {"p3", "65 chrA 201 60 50M = 401 200 NH:i:1 HI:i:1 MQ:i:60 MC:Z:50M"},
      {"p3", "129 chrA 401 60 50M = 201 -200 NH:i:1 HI:i:1 MQ:i:60 MC:Z:50M"},
      {"p4", "97 chrA 501 60 50M chrB 101 0 NH:i:1 HI:i:1 MQ:i:60 MC:Z:50M"},
      {"p4", "145 chrB 101 60 50M chrA 501 0 NH:i:1 HI:i:1 MQ:i:60 MC:Z:50M"},
      {"p5", "89 chrA 601 60 50M = 601 0 NH:i:1 HI:i:1 MC:Z:*"},
      {"p5", "165 chrA 601 0 * = 601 0 MQ:i:60 MC:Z:50M"},
      {"p6", "77 * 0 0 * * 0 0"},
      {"p6", "141 * 0 0 * * 0 0"},
      // The pair pins mate 2 down; mate 1 has two hits that pair equally well.
      {"p7", "99 chrB 801 3 50M = 901 150 NH:i:1 HI:i:1 MQ:i:60 MC:Z:50M"},
      {"p7", "147 chrB 901 60 50M = 801 -150 NH:i:1 HI:i:1 MQ:i:3 MC:Z:50M"},
      // Without mate rescue, the mates of p8 to p10 that lie near their
      // mate stay unmapped.
      {"p8", "73 chrA 1101 60 50M = 1101 0 NH:i:1 HI:i:1 MC:Z:*"},
      {"p8", "133 chrA 1101 0 * = 1101 0 MQ:i:60 MC:Z:50M"},
      {"p9", "73 chrA 1101 60 50M = 1101 0 NH:i:1 HI:i:1 MC:Z:*"},
      {"p9", "133 chrA 1101 0 * = 1101 0 MQ:i:60 MC:Z:50M"},
      {"p10", "89 chrB 501 60 50M = 501 0 NH:i:1 HI:i:1 MC:Z:*"},
      {"p10", "165 chrB 501 0 * = 501 0 MQ:i:60 MC:Z:50M"},
  };
  EXPECT_EQ(got, expected);
  EXPECT_NE(
      result.err.find("10 pairs; of these:\n  2 (20.00%) aligned concordantly exactly 1 time\n"
                      "  0 (0.00%) aligned concordantly >1 times\n"
                      "  3 (30.00%) aligned discordantly\n"
                      "  4 (40.00%) with one mate aligned, the other not\n"
                      "  1 (10.00%) with neither mate aligned\n"),
      std::string::npos)
      << result.err;
}

TEST_F(PairedExportTest, MateRescueFindsALoneMateFacingItsMate) {
  const test::RunResult result =
      run({"-o", "out.sam", "--unmapped", "--max-insert=1000", "--mate-rescue"});
  ASSERT_EQ(result.status, 0) << result.err;
  std::multimap<std::string, std::string> got;
  std::map<std::string, std::string> xr;
  for (const SamLine& r : sam_records(slurp(path("out.sam")))) {
    if (r[0] == "p5" || r[0] == "p8" || r[0] == "p9" || r[0] == "p10")
      got.emplace(r[0], summary_of(r));
    for (const std::string& field : r)
      if (field.starts_with("XR:Z:")) xr[r[0] + " " + r[1]] = field;
  }
  const std::string deletion = deletion_cigar(1400, 20);
  const std::map<std::string, std::string> rescued = {
      {"p10 163", "XR:Z:mate"}, {"p8 147", "XR:Z:mate"}, {"p9 147", "XR:Z:mate"}};
  EXPECT_EQ(xr, rescued);
  const std::multimap<std::string, std::string> expected = {
      // A random mate stays unmapped.
      {"p5", "89 chrA 601 60 50M = 601 0 NH:i:1 HI:i:1 MC:Z:*"},
      {"p5", "165 chrA 601 0 * = 601 0 MQ:i:60 MC:Z:50M"},
      {"p8", "99 chrA 1101 60 50M = 1301 250 NH:i:1 HI:i:1 MQ:i:60 MC:Z:50M"},
      {"p8", "147 chrA 1301 60 50M = 1101 -250 NH:i:1 HI:i:1 MQ:i:60 MC:Z:50M"},
      {"p9", "99 chrA 1101 60 50M = 1401 352 NH:i:1 HI:i:1 MQ:i:60 MC:Z:" + deletion},
      {"p9", "147 chrA 1401 60 " + deletion + " = 1101 -352 NH:i:1 HI:i:1 MQ:i:60 MC:Z:50M"},
      {"p10", "83 chrB 501 60 50M = 201 -350 NH:i:1 HI:i:1 MQ:i:60 MC:Z:50M"},
      {"p10", "163 chrB 201 60 50M = 501 350 NH:i:1 HI:i:1 MQ:i:60 MC:Z:50M"},
  };
  EXPECT_EQ(got, expected);
  EXPECT_NE(result.err.find("3 mates were found near their mate (rescued)"), std::string::npos)
      << result.err;
  // Without the option nothing is searched.
  ASSERT_EQ(run({"-o", "plain.sam", "--unmapped", "--max-insert=1000"}).status, 0);
  EXPECT_EQ(slurp(path("plain.sam")).find("XR:Z:"), std::string::npos);
}

TEST_F(PairedExportTest, RescuedAlignmentsOfTheRescueStageArePaired) {
  // Read 16, mate 2 of p8, without a hit: the rescue stage placed it.
  spit(path("run-rescue"), "16\tchrA\t1301\t-\t50M\t40\t2\tmismatch\t.\t1\n");
  const test::RunResult result =
      run({"-o", "out.sam", "--unmapped", "--max-insert=1000", "--rescued=run-rescue"});
  ASSERT_EQ(result.status, 0) << result.err;
  std::multimap<std::string, std::string> got;
  for (const SamLine& r : sam_records(slurp(path("out.sam"))))
    if (r[0] == "p8")
      got.emplace(r[0],
                  summary_of(r) + (std::count(r.begin(), r.end(), "XR:Z:mismatch") ? " XR" : ""));
  const std::multimap<std::string, std::string> expected = {
      {"p8", "99 chrA 1101 60 50M = 1301 250 NH:i:1 HI:i:1 MQ:i:60 MC:Z:50M"},
      {"p8", "147 chrA 1301 60 50M = 1101 -250 NH:i:1 HI:i:1 MQ:i:60 MC:Z:50M XR"},
  };
  EXPECT_EQ(got, expected);
}

TEST_F(PairedExportTest, SamtoolsFindsTheMateFieldsRightAndCountsThePairs) {
  ASSERT_EQ(run({"-o", "out.bam", "--unmapped", "--sort", "--max-insert=1000"}).status, 0);
  // fixmate recomputes flags, mate fields, TLEN, MQ and MC of the primary
  // records: nothing may change.
  EXPECT_EQ(shell("samtools sort -n -o byname.bam out.bam && samtools fixmate byname.bam fixed.bam"
                  " && samtools view byname.bam | sort > a.txt && samtools view fixed.bam | sort |"
                  " cmp - a.txt"),
            0);
  ASSERT_EQ(shell("samtools flagstat out.bam > flagstat.txt"), 0);
  const std::string flagstat = slurp(path("flagstat.txt"));
  for (const char* line : {"20 + 0 paired in sequencing", "4 + 0 properly paired",
                           "10 + 0 with itself and mate mapped", "4 + 0 singletons",
                           "2 + 0 with mate mapped to a different chr"})
    EXPECT_NE(flagstat.find(line), std::string::npos) << line << "\n" << flagstat;
  // Without --unmapped, the pair without a hit is left out, and so are the
  // unmapped mates of p5 and p8 to p10.
  ASSERT_EQ(run({"-o", "mapped.sam", "--max-insert=1000"}).status, 0);
  EXPECT_EQ(sam_records(slurp(path("mapped.sam"))).size(), 14u);
}

TEST_F(PairedExportTest, MateFilesThatDoNotFitAreRefusedAndNothingIsWritten) {
  spit(path("short.fq"), mates_[1].substr(0, mates_[1].find("@p2/")));
  spit(path("renamed.fq"), "@x" + mates_[1].substr(3));
  spit(path("cut.fq"), mates_[1].substr(0, mates_[1].rfind("+")));
  const std::pair<std::string, std::string> cases[] = {
      {"--mates=short.fq", "the mate files hold different numbers of reads"},
      {"--mates=renamed.fq", "the mates of pair 1 have different names: 'p1'"},
      {"--mates=cut.fq", "the last record (record 10) is cut short"},
      {"--mates=r1.fq", "names the file of -D"},
  };
  for (const auto& [option, words] : cases) {
    const test::RunResult result =
        test::run_program_in(dir(), test::program_path("quilm2sam"),
                             {"-Rref.fa", "-Dr1.fq", option, "-Orun", "-o", "x.bam"});
    EXPECT_NE(result.status, 0) << option;
    EXPECT_NE(result.err.find(words), std::string::npos) << result.err;
    EXPECT_FALSE(test::file_exists(path("x.bam"))) << option;
  }
  // The pair counts written over the mates.
  const test::RunResult counts =
      test::run_program_in(dir(), test::program_path("quilm2sam"),
                           {"-Rref.fa", "-Dr1.fq", "--mates=r2.fq", "--summary=r2.fq", "-Orun"});
  EXPECT_EQ(counts.status, 1);
  EXPECT_NE(counts.err.find("option --summary ('r2.fq') names the file of --mates ('r2.fq'), "
                            "which the run would overwrite"),
            std::string::npos)
      << counts.err;
  EXPECT_EQ(slurp(path("r2.fq")), mates_[1]);
  const test::RunResult unchecked = test::run_program_in(
      dir(), test::program_path("quilm2sam"),
      {"-Rref.fa", "-Dr1.fq", "--mates=renamed.fq", "--no-name-check", "-Orun", "-o", "x.sam"});
  EXPECT_EQ(unchecked.status, 0) << unchecked.err;
}

}  // namespace
}  // namespace quilm
