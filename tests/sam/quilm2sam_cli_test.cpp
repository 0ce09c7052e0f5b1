#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>

#include "common/version.hpp"
#include "sam/sam_test_data.hpp"
#include "support/test_support.hpp"

namespace quilm {
namespace {

using test::ExpectedRecord;
using test::reverse_complement_of;
using test::slurp;
using test::spit;

using test::sam_records;
using test::SamLine;

std::string tag(const SamLine& r, const std::string& name) {
  for (std::size_t i = 11; i < r.size(); ++i)
    if (r[i].compare(0, 2, name) == 0) return r[i].substr(5);
  return "(none)";
}

std::string reversed(std::string s) {
  return {s.rbegin(), s.rend()};
}

// Every kind of record, each read with the alignment it must get.
class Quilm2samCliTest : public test::TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    add_mapping_reads();
    add_splice_reads();
    const std::string multi = run_.chr_a.substr(1500, 50);
    const int m = run_.add(multi);
    for (auto [chr, pos] : {std::pair{"chrB", 800}, {"chrA", 1500}, {"chrB", 700}})
      run_.multi += test::SmallRun::mapping(m, multi, 'F', chr, 0, pos);
    expected_.push_back({"q" + std::to_string(m), 0, "chrB", 801, 1, "50M", 0});
    unmapped_ = run_.add(test::congruential_bases(50, 99));
    spit(path("ref.fa"), run_.fasta());
    spit(path("reads.fq"), run_.fastq());
    for (auto [suffix, text] : {std::pair{"-quilm2high", &run_.high},
                                {"-quilm2low", &run_.low},
                                {"-quilm2mutil", &run_.multi},
                                {"-splice-high", &run_.splice_high},
                                {"-splice-low", &empty_},
                                {"-splice-mutil", &empty_}})
      spit(path(std::string("run") + suffix), *text);
  }

  void add_mapping_reads() {
    const std::string exact = run_.chr_a.substr(100, 50);
    run_.high += test::SmallRun::mapping(run_.add(exact), exact, 'F', "chrA", 0, 100);
    expected_.push_back({"q1", 0, "chrA", 101, 60, "50M", 0});
    std::string piece = run_.chr_a.substr(300, 50);
    piece[10] = piece[10] == 'A' ? 'C' : 'A';
    piece[40] = piece[40] == 'G' ? 'T' : 'G';
    run_.low += test::SmallRun::mapping(run_.add(reverse_complement_of(piece)),
                                        reverse_complement_of(piece), 'R', "chrA", 2, 300);
    expected_.push_back({"q2", 16, "chrA", 301, 10, "50M", 2});
    // Two bases missing from the read: the seeds of its second part vote for
    // a start two bases on, and the record keeps that uncorrected start.
    const std::string deleted = run_.chr_a.substr(500, 20) + run_.chr_a.substr(522, 40);
    run_.high += test::SmallRun::mapping(run_.add(deleted), deleted, 'F', "chrA", 1, 502);
    expected_.push_back({"q3", 0, "chrA", 501, 60, "20M2D40M", 2});
    const char extra = run_.chr_a[729] != 'T' && run_.chr_a[730] != 'T' ? 'T' : 'C';
    const std::string inserted =
        reverse_complement_of(run_.chr_a.substr(700, 30) + extra + run_.chr_a.substr(730, 30));
    run_.high += test::SmallRun::mapping(run_.add(inserted), inserted, 'R', "chrA", 1, 700);
    expected_.push_back({"q4", 16, "chrA", 701, 60, "30M1I30M", 1});
  }

  // Both signal families with both read orientations: the strand letter
  // names the family, while positions and split refer to the sequence that
  // matched (the read or its reverse complement).
  void add_splice_reads() {
    struct Case {
      const char* chr;
      long first, second_part;
      char family;
      bool reverse;
    };
    for (const Case& c : {Case{"chrA", 1000, 1200, 'F', false}, Case{"chrA", 1300, 1450, 'F', true},
                          Case{"chrB", 100, 400, 'R', true}, Case{"chrB", 450, 600, 'R', false}}) {
      const std::string& chr = c.chr[3] == 'A' ? run_.chr_a : run_.chr_b;
      const std::string matched = chr.substr(c.first, 30) + chr.substr(c.second_part, 40);
      const std::string read = c.reverse ? reverse_complement_of(matched) : matched;
      const int k = run_.add(read);
      run_.splice_high +=
          test::SmallRun::splice(k, read, c.family, c.chr, 29, 0, c.first, c.second_part - 30);
      const std::string intron = std::to_string(c.second_part - c.first - 30);
      const std::string name = std::string("q").append(std::to_string(k));
      expected_.push_back(
          {name, c.reverse ? 16 : 0, c.chr, c.first + 1, 60, "30M" + intron + "N40M", 0});
      families_[name] = c.family == 'F' ? "+" : "-";
    }
  }

  test::RunResult run(const std::vector<std::string>& extra) {
    std::vector<std::string> args = {"-Rref.fa", "-Dreads.fq", "-Orun"};
    args.insert(args.end(), extra.begin(), extra.end());
    return test::run_program_in(dir(), test::program_path("quilm2sam"), args);
  }
  int shell(const std::string& command) {
    return std::system(("cd '" + dir() + "' && (" + command + ") >/dev/null 2>&1").c_str());
  }

  test::SmallRun run_;
  std::string empty_;
  std::vector<ExpectedRecord> expected_;
  std::map<std::string, std::string> families_;
  int unmapped_ = 0;
};

TEST_F(Quilm2samCliTest, EveryRecordKindFieldByField) {
  test::RunResult result = run({"-o", "out.sam", "--unmapped"});
  ASSERT_EQ(result.status, 0) << result.err;
  const std::vector<SamLine> records = sam_records(slurp(path("out.sam")));
  ASSERT_EQ(records.size(), expected_.size() + 2 + 1);  // two more hits of the multi read
  std::map<std::string, SamLine> primary;
  for (const SamLine& r : records)
    if ((std::stoi(r[1]) & 256) == 0) primary[r[0]] = r;
  for (const ExpectedRecord& e : expected_) {
    SCOPED_TRACE(e.name);
    const SamLine& r = primary.at(e.name);
    const int k = std::stoi(e.name.substr(1));
    const std::string& read = run_.reads[k - 1];
    EXPECT_EQ(std::stoi(r[1]), e.flag);
    EXPECT_EQ(r[2], e.chromosome);
    EXPECT_EQ(std::stol(r[3]), e.pos);
    EXPECT_EQ(std::stoi(r[4]), e.mapq);
    EXPECT_EQ(r[5], e.cigar);
    EXPECT_EQ(r[6] + r[7] + r[8], "*00");
    EXPECT_EQ(r[9], e.flag & 16 ? reverse_complement_of(read) : read);
    EXPECT_EQ(std::stoi(tag(r, "NM")), e.nm);
    EXPECT_EQ(tag(r, "XS"), families_.count(e.name) ? families_[e.name] : "(none)");
  }
  // The mismatches and the deletion in MD name the reference bases.
  EXPECT_EQ(tag(primary.at("q2"), "MD"),
            "10" + run_.chr_a.substr(310, 1) + "29" + run_.chr_a.substr(340, 1) + "9");
  EXPECT_EQ(tag(primary.at("q3"), "MD"), "20^" + run_.chr_a.substr(520, 2) + "40");
  EXPECT_EQ(tag(primary.at("q4"), "MD"), "60");
}

TEST_F(Quilm2samCliTest, QualitiesFollowTheAlignedStrand) {
  ASSERT_EQ(run({"-o", "out.sam"}).status, 0);
  std::map<std::string, SamLine> primary;
  for (const SamLine& r : sam_records(slurp(path("out.sam")))) primary[r[0]] = r;
  std::string quality(50, ' ');
  for (std::size_t i = 0; i < quality.size(); ++i) quality[i] = static_cast<char>('!' + i % 40);
  EXPECT_EQ(primary.at("q1")[10], quality);
  EXPECT_EQ(primary.at("q2")[10], reversed(quality));
}

TEST_F(Quilm2samCliTest, MultiHitReadHasOnePrimaryAndNumberedHits) {
  ASSERT_EQ(run({"-o", "out.sam"}).status, 0);
  std::vector<SamLine> hits;
  for (const SamLine& r : sam_records(slurp(path("out.sam"))))
    if (r[0] == "q9") hits.push_back(r);
  ASSERT_EQ(hits.size(), 3u);
  const std::string where[] = {"chrB801", "chrA1501", "chrB701"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(hits[i][1], i == 0 ? "0" : "256");
    EXPECT_EQ(hits[i][2] + hits[i][3], where[i]);
    EXPECT_EQ(hits[i][4], "1");
    EXPECT_EQ(tag(hits[i], "NH"), "3");
    EXPECT_EQ(tag(hits[i], "HI"), std::to_string(i + 1));
  }
}

TEST_F(Quilm2samCliTest, UnmappedReadsOnlyOnRequest) {
  ASSERT_EQ(run({"-o", "plain.sam"}).status, 0);
  ASSERT_EQ(run({"-o", "all.sam", "--unmapped"}).status, 0);
  const std::string name = "q" + std::to_string(unmapped_);
  for (const SamLine& r : sam_records(slurp(path("plain.sam")))) EXPECT_NE(r[0], name);
  const std::vector<SamLine> all = sam_records(slurp(path("all.sam")));
  ASSERT_FALSE(all.empty());
  const SamLine& last = all.back();  // dataset order: the unmapped read comes last
  EXPECT_EQ(last[0] + " " + last[1] + " " + last[2] + " " + last[3] + " " + last[5],
            name + " 4 * 0 *");
  EXPECT_EQ(last[9], run_.reads[unmapped_ - 1]);

  // The dataset from standard input, ending in a read of length 0.
  spit(path("more.fq"), slurp(path("reads.fq")) + "@empty\n\n+\n\n");
  ASSERT_EQ(shell("'" + test::program_path("quilm2sam") +
                  "' -Rref.fa -D- -Orun -o piped.sam --unmapped < more.fq"),
            0);
  const std::vector<SamLine> piped = sam_records(slurp(path("piped.sam")));
  ASSERT_EQ(piped.size(), all.size() + 1);
  EXPECT_TRUE(std::equal(all.begin(), all.end(), piped.begin()));
  const SamLine& empty = piped.back();
  EXPECT_EQ(empty[0] + " " + empty[1] + " " + empty[9] + " " + empty[10], "empty 4 * *");
  // The reference is read twice, so it cannot come from standard input.
  const test::RunResult refused = test::run_program_in(
      dir(), test::program_path("quilm2sam"), {"-R-", "-Dreads.fq", "-Orun", "-o", "x.sam"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("-R: the reference '-' is read twice"), std::string::npos)
      << refused.err;
}

TEST_F(Quilm2samCliTest, EveryMappedRecordScoresItsAlignment) {
  ASSERT_EQ(run({"-o", "out.sam", "--unmapped"}).status, 0);
  // +1 a match, -4 a mismatch, -(6 + k) an indel of k bases, -2 an intron.
  const std::map<std::string, std::string> expected = {
      {"q1", "50"}, {"q2", "40"}, {"q3", "52"}, {"q4", "53"}, {"q5", "68"},
      {"q6", "68"}, {"q7", "68"}, {"q8", "68"}, {"q9", "50"}, {"q10", "(none)"}};
  int records = 0;
  for (const SamLine& r : sam_records(slurp(path("out.sam")))) {
    SCOPED_TRACE(r[0] + " at " + r[3]);
    EXPECT_EQ(tag(r, "AS"), expected.at(r[0]));
    ++records;
  }
  EXPECT_EQ(records, 12);
}

TEST_F(Quilm2samCliTest, MaxHitsKeepsTheFirstRecordsOfARead) {
  ASSERT_EQ(run({"-o", "all.sam"}).status, 0);
  ASSERT_EQ(run({"-o", "two.sam", "--max-hits=2"}).status, 0);
  ASSERT_EQ(run({"-o", "one.sam", "--max-hits=1"}).status, 0);
  const std::vector<SamLine> all = sam_records(slurp(path("all.sam")));
  for (const auto& [file, kept] : {std::pair{"two.sam", 2}, {"one.sam", 1}}) {
    SCOPED_TRACE(file);
    std::vector<SamLine> expected;
    for (SamLine r : all) {
      if (r[0] == "q9") {
        if (std::stoi(tag(r, "HI")) > kept) continue;
        // NH counts the records kept; MAPQ still says the read has three hits.
        for (std::string& field : r)
          if (field.starts_with("NH:i:")) field = "NH:i:" + std::to_string(kept);
      }
      expected.push_back(r);
    }
    EXPECT_EQ(sam_records(slurp(path(file))), expected);
  }
  const test::RunResult zero = run({"-o", "x.sam", "--max-hits=0"});
  EXPECT_EQ(zero.status, 1);
  EXPECT_NE(zero.err.find("--max-hits needs a whole number, at least 1, not '0'"),
            std::string::npos)
      << zero.err;
}

// The summary against the records of the BAM as samtools counts them.
TEST_F(Quilm2samCliTest, SummaryFileDescribesTheRecordsWritten) {
  for (const char* cap : {"", "--max-hits=1"}) {
    SCOPED_TRACE(cap);
    std::vector<std::string> args = {"-o", "out.bam", "--unmapped", "--summary-file=summary.txt"};
    if (*cap) args.push_back(cap);
    const test::RunResult result = run(args);
    ASSERT_EQ(result.status, 0) << result.err;
    const std::string summary = slurp(path("summary.txt"));
    EXPECT_NE(result.err.find(summary), std::string::npos) << result.err;
    ASSERT_EQ(shell("samtools view -F 256 out.bam | wc -l > reads.txt && "
                    "samtools view -f 4 out.bam | wc -l > none.txt && "
                    "samtools view -F 260 out.bam | grep -c 'NH:i:1\\b' > once.txt; "
                    "samtools view -F 260 out.bam | grep -vc 'NH:i:1\\b' > more.txt; true"),
              0);
    const auto count = [&](const char* file) { return std::stol(slurp(path(file))); };
    const long reads = count("reads.txt"), none = count("none.txt"), once = count("once.txt"),
               more = count("more.txt");
    EXPECT_EQ(reads, 10);
    EXPECT_EQ(more, *cap ? 0 : 1);
    char expected[512];
    std::snprintf(expected, sizeof expected,
                  "%ld reads; of these:\n"
                  "  %ld (100.00%%) were unpaired; of these:\n"
                  "    %ld (%.2f%%) aligned 0 times\n"
                  "    %ld (%.2f%%) aligned exactly 1 time\n"
                  "    %ld (%.2f%%) aligned >1 times\n"
                  "%.2f%% overall alignment rate\n",
                  reads, reads, none, 100.0 * none / reads, once, 100.0 * once / reads, more,
                  100.0 * more / reads, 100.0 * (once + more) / reads);
    EXPECT_EQ(summary, expected);
  }
  // Without -o only the summary is made; without --unmapped every read still counts.
  ASSERT_EQ(run({"--summary-file=only.txt"}).status, 0);
  ASSERT_EQ(run({"-o", "mapped.sam", "--summary-file=mapped.txt"}).status, 0);
  EXPECT_EQ(slurp(path("only.txt")), slurp(path("mapped.txt")));
  EXPECT_EQ(slurp(path("only.txt")).substr(0, 21), "10 reads; of these:\n ");
}

TEST_F(Quilm2samCliTest, UnmappedFastqHoldsTheReadsWithoutAlignment) {
  // One more read without a hit, after the last one with hits, named so
  // that its record carries a changed name.
  spit(path("reads.fq"), run_.fastq() + "@bad@name\n" + test::congruential_bases(30, 5) + "\n+\n" +
                             std::string(30, 'F') + "\n");
  ASSERT_EQ(run({"-o", "out.bam", "--unmapped", "--unmapped-fastq=un"}).status, 0);
  ASSERT_EQ(shell("samtools fastq -n -f 4 out.bam > expected.fq"), 0);
  EXPECT_EQ(slurp(path("un.fq")), slurp(path("expected.fq")));
  EXPECT_NE(slurp(path("un.fq")).find("@bad_name\n"), std::string::npos);
  // Compressed, and without unmapped records in the BAM: the same reads.
  ASSERT_EQ(run({"-o", "mapped.bam", "--unmapped-fastq=gz/un.gz"}).status, 1);
  std::filesystem::create_directory(path("gz"));
  ASSERT_EQ(run({"-o", "mapped.bam", "--unmapped-fastq=gz/un.gz"}).status, 0);
  ASSERT_EQ(shell("gzip -t gz/un.fq.gz && gzip -dc gz/un.fq.gz > gz/un.fq"), 0);
  EXPECT_EQ(slurp(path("gz/un.fq")), slurp(path("expected.fq")));
  // A prefix that names an input is refused before anything is written.
  std::filesystem::copy_file(path("reads.fq"), path("reads.fq.bak"));
  const test::RunResult refused = run({"-o", "x.bam", "--unmapped-fastq=reads"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("--unmapped-fastq"), std::string::npos) << refused.err;
  EXPECT_EQ(slurp(path("reads.fq")), slurp(path("reads.fq.bak")));
}

TEST_F(Quilm2samCliTest, HeaderAndSamtoolsAcceptTheFiles) {
  ASSERT_EQ(run({"-o", "out.bam"}).status, 0);
  EXPECT_EQ(shell("samtools quickcheck out.bam"), 0);
  EXPECT_EQ(shell("samtools view --no-PG -H out.bam > header.txt"), 0);
  const std::string header = slurp(path("header.txt"));
  EXPECT_NE(header.find("@HD\tVN:1.6\tSO:unsorted"), std::string::npos) << header;
  EXPECT_NE(header.find("@SQ\tSN:chrA\tLN:2000\n@SQ\tSN:chrB\tLN:1000\n"), std::string::npos);
  // Run alone, quilm2sam names only itself.
  EXPECT_NE(header.find("@PG\tID:quilm2sam\tPN:quilm2sam\tVN:" + std::string(version_text()) +
                        "\tCL:" + test::program_path("quilm2sam") + " -Rref.fa"),
            std::string::npos)
      << header;
  EXPECT_EQ(header.find("PP:"), std::string::npos) << header;
  // samtools recomputes NM and MD from the reference: nothing may change.
  EXPECT_EQ(shell("samtools view out.bam > mine.sam && samtools calmd out.bam ref.fa 2>calmd.err"
                  " | samtools view > calmd.sam && cmp mine.sam calmd.sam"),
            0);
  EXPECT_EQ(slurp(path("calmd.err")), "");
}

TEST_F(Quilm2samCliTest, SortedBamIsIndexed) {
  ASSERT_EQ(run({"-o", "sorted.bam", "--sort", "--unmapped"}).status, 0);
  EXPECT_TRUE(std::filesystem::exists(path("sorted.bam.bai")));
  EXPECT_EQ(shell("samtools quickcheck sorted.bam"), 0);
  EXPECT_EQ(shell("samtools idxstats sorted.bam > stats.txt"), 0);
  EXPECT_EQ(slurp(path("stats.txt")), "chrA\t2000\t7\t0\nchrB\t1000\t4\t0\n*\t0\t0\t1\n");
  EXPECT_EQ(shell("samtools view sorted.bam chrB:1-500 | cut -f1 > region.txt"), 0);
  EXPECT_EQ(slurp(path("region.txt")), "q7\nq8\n");
  for (const auto& entry : std::filesystem::directory_iterator(dir()))
    EXPECT_EQ(entry.path().string().find(".part"), std::string::npos) << entry.path();
}

// Readers look for an index beside the file under several names and may
// prefer an old one to the new file's own: every index of an earlier file
// of the name goes before the new file takes its place.
TEST_F(Quilm2samCliTest, IndexesOfAnEarlierFileOfTheNameAreRemoved) {
  const std::string expected_stats = "chrA\t2000\t7\t0\nchrB\t1000\t4\t0\n*\t0\t0\t1\n";
  spit(path("run-quilm2high"), "");
  ASSERT_EQ(run({"-o", "old.bam", "--sort"}).status, 0);
  spit(path("run-quilm2high"), run_.high);
  const auto plant_old_indexes = [&] {
    ASSERT_EQ(shell("cp old.bam sorted.bam && samtools index -c old.bam sorted.bam.csi && "
                    "samtools index old.bam sorted.bai && samtools index -c old.bam sorted.csi && "
                    "cp old.bam.bai sorted.bam.bai && echo old > sorted.bam.crai"),
              0);
  };
  plant_old_indexes();
  shell("samtools idxstats sorted.bam > before.txt");
  ASSERT_NE(slurp(path("before.txt")), expected_stats);  // what a stale index makes of it
  ASSERT_EQ(run({"-o", "sorted.bam", "--sort", "--unmapped"}).status, 0);
  EXPECT_EQ(shell("samtools idxstats sorted.bam > stats.txt"), 0);
  EXPECT_EQ(slurp(path("stats.txt")), expected_stats);
  for (const char* stale : {"sorted.bam.csi", "sorted.bai", "sorted.csi", "sorted.bam.crai"})
    EXPECT_FALSE(test::file_exists(path(stale))) << stale;
  EXPECT_TRUE(test::file_exists(path("sorted.bam.bai")));

  // An unsorted file has no index: none may stay beside it.
  plant_old_indexes();
  ASSERT_EQ(run({"-o", "sorted.bam"}).status, 0);
  for (const char* stale :
       {"sorted.bam.bai", "sorted.bam.csi", "sorted.bai", "sorted.csi", "sorted.bam.crai"})
    EXPECT_FALSE(test::file_exists(path(stale))) << stale;

  // One that cannot be removed keeps the new file out and the earlier in place.
  ASSERT_EQ(shell("cp old.bam sorted.bam"), 0);
  std::filesystem::create_directories(path("sorted.bam.csi/inside"));
  const test::RunResult r = run({"-o", "sorted.bam", "--sort"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("cannot remove the index 'sorted.bam.csi'"), std::string::npos) << r.err;
  EXPECT_EQ(slurp(path("sorted.bam")), slurp(path("old.bam")));
  for (const auto& entry : std::filesystem::directory_iterator(dir()))
    EXPECT_EQ(entry.path().string().find(".part"), std::string::npos) << entry.path();
}

// A full disk names the file and the system's reason, in every way of
// writing (with and without threads, sorted or not), and leaves no part.
TEST_F(Quilm2samCliTest, FullDiskIsReportedWithItsReason) {
  test::SmallDisk disk(path("disk"), 1 << 20);
  if (!disk.mounted()) GTEST_SKIP() << "mounting a small disk needs root";
  disk.fill();
  for (const char* threads : {"--threads=1", "--threads=3"}) {
    for (const char* way : {"out.bam", "out.bam --sort", "out.sam"}) {
      SCOPED_TRACE(std::string(threads) + " " + way);
      const std::string name = std::string(way).substr(0, 7);
      std::vector<std::string> args = {"-o", path("disk/" + name), "--unmapped", threads};
      if (std::string(way).ends_with("--sort")) args.push_back("--sort");
      const test::RunResult r = run(args);
      EXPECT_EQ(r.status, 1);
      EXPECT_NE(r.err.find("'" + path("disk/" + name) + "': No space left on device"),
                std::string::npos)
          << r.err;
      for (const auto& entry : std::filesystem::directory_iterator(path("disk")))
        EXPECT_EQ(entry.path().string().find("out."), std::string::npos) << entry.path();
    }
  }
}

// The same sorted records as SAM (no index) and as CRAM against the
// reference (with its .crai); a CRAM needs a reference htslib can index.
TEST_F(Quilm2samCliTest, SortedSamAndCramHoldTheRecordsOfTheBam) {
  for (const char* name : {"sorted.bam", "sorted.sam", "sorted.cram"})
    ASSERT_EQ(run({"-o", name, "--sort", "--unmapped"}).status, 0) << name;
  EXPECT_FALSE(std::filesystem::exists(path("sorted.sam.bai")));
  EXPECT_TRUE(std::filesystem::exists(path("sorted.cram.crai")));
  EXPECT_EQ(shell("samtools view sorted.bam > bam.txt && samtools view sorted.sam > sam.txt && "
                  "samtools view -T ref.fa sorted.cram > cram.txt"),
            0);
  EXPECT_EQ(slurp(path("sam.txt")), slurp(path("bam.txt")));
  EXPECT_EQ(slurp(path("cram.txt")), slurp(path("bam.txt")));
  EXPECT_NE(slurp(path("sorted.sam")).find("@HD\tVN:1.6\tSO:coordinate"), std::string::npos);
  EXPECT_EQ(shell("samtools view -T ref.fa sorted.cram chrB:1-500 | cut -f1 > region.txt"), 0);
  EXPECT_EQ(slurp(path("region.txt")), "q7\nq8\n");

  EXPECT_EQ(shell("gzip -c ref.fa > ref.fa.gz"), 0);
  const test::RunResult refused =
      test::run_program_in(dir(), test::program_path("quilm2sam"),
                           {"-Rref.fa.gz", "-Dreads.fq", "-Orun", "-o", "gz.cram", "--sort"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("quilm2sam: error: -R: a CRAM output is encoded against the "
                             "reference 'ref.fa.gz', which htslib cannot index"),
            std::string::npos)
      << refused.err;
  for (const auto& entry : std::filesystem::directory_iterator(dir()))
    EXPECT_EQ(entry.path().filename().string().find("gz.cram"), std::string::npos);
}

// The read group on every record and in the header, and the @PG line of
// the run that quilm2sam's own follows.
TEST_F(Quilm2samCliTest, ReadGroupAndRunProvenance) {
  const std::string driver = "quilm2splice -Rref.fa\t-Dreads.fq -Orun";
  const test::RunResult result = run({"-o", "rg.bam", "--unmapped", "--rg-id=lane 1",
                                      "--rg=SM:sample", "--rg=P1:x:y", "--pg-cl=" + driver});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(shell("samtools view -H rg.bam > header.txt && samtools view rg.bam > records.txt"), 0);
  const std::string version = version_text();
  const std::string header = slurp(path("header.txt"));
  EXPECT_NE(header.find("\n@RG\tID:lane 1\tSM:sample\tP1:x:y\n@PG\tID:quilm2splice\tPN:"
                        "quilm2splice\tVN:" +
                        version +
                        "\tCL:quilm2splice -Rref.fa -Dreads.fq -Orun\n@PG\tID:quilm2sam"
                        "\tPN:quilm2sam\tPP:quilm2splice\tVN:" +
                        version + "\tCL:"),
            std::string::npos)
      << header;
  const std::vector<SamLine> records = sam_records(slurp(path("records.txt")));
  EXPECT_EQ(records.size(), expected_.size() + 2 + 1);
  for (const SamLine& r : records) EXPECT_EQ(tag(r, "RG"), "lane 1") << r[0];

  for (const auto& args : std::vector<std::vector<std::string>>{
           {"--rg=SM:x"}, {"--rg-id=a", "--rg=S:x"}, {"--rg-id=a", "--rg=ID:b"}, {"--pg-cl="}}) {
    std::vector<std::string> all = {"-o", "x.sam"};
    all.insert(all.end(), args.begin(), args.end());
    const test::RunResult r = run(all);
    EXPECT_EQ(r.status, 1) << args.back();
    EXPECT_NE(r.err.find("quilm2sam: error: option --"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(path("x.sam")));
  }
}

TEST_F(Quilm2samCliTest, MappingOnlyOutputIsClassedByHitsAndErrors) {
  const auto& reads = run_.reads;
  spit(path("single"), test::SmallRun::mapping(9, reads[8], 'F', "chrB", 0, 800) +
                           test::SmallRun::mapping(1, reads[0], 'F', "chrA", 0, 100) +
                           test::SmallRun::mapping(9, reads[8], 'F', "chrA", 0, 1500) +
                           test::SmallRun::mapping(2, reads[1], 'R', "chrA", 4, 300));
  const test::RunResult result = test::run_program_in(
      dir(), test::program_path("quilm2sam"),
      {"-Rref.fa", "-Dreads.fq", "-Osingle", "-o-", "--pg-cl=quilm2 -Osingle"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_NE(result.out.find("@PG\tID:quilm2\tPN:quilm2\t"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("\tPP:quilm2\t"), std::string::npos) << result.out;
  std::vector<std::string> summary;
  for (const SamLine& r : sam_records(result.out))
    summary.push_back(r[0] + " " + r[1] + " " + r[3] + " " + r[4] + " " + tag(r, "NH"));
  // 50 bases: high quality up to 4 errors (0.05 x 50 + 1.5 = 4).
  EXPECT_EQ(summary, (std::vector<std::string>{"q1 0 101 60 1", "q2 16 301 60 1", "q9 0 801 3 2",
                                               "q9 256 1501 3 2"}));
}

// Progress goes to stderr only: on a terminal it is drawn once the
// conversion has run a second (here the dataset comes through a pipe that
// stalls) and cleared at its end; in a log so short a conversion writes
// none; and SAM on a terminal gets none among its records. The records are
// the same either way.
TEST_F(Quilm2samCliTest, ProgressOnlyOnAStderrThatIsATerminal) {
  const std::string export_sam =
      "'" + test::program_path("quilm2sam") + "' -Rref.fa -D- -Orun -o - --unmapped";
  const std::string stalled =
      "{ head -n 4 reads.fq; sleep 2.5; tail -n +5 reads.fq; } | " + export_sam;
  const test::RunResult shown = test::run_shell_on_terminal(dir(), stalled, false);
  ASSERT_EQ(shown.status, 0) << shown.err;
  const std::size_t line = shown.err.find("\rquilm2sam: conversion: ");
  ASSERT_NE(line, std::string::npos) << shown.err;
  EXPECT_NE(shown.err.find(" reads, ", line), std::string::npos) << shown.err;
  const std::size_t cleared = shown.err.find("\r ", line);
  ASSERT_NE(cleared, std::string::npos) << shown.err;
  EXPECT_LT(cleared, shown.err.find("records written to -"));
  EXPECT_EQ(shown.out.find('\r'), std::string::npos);
  EXPECT_EQ(shown.out.find("conversion"), std::string::npos);
  EXPECT_EQ(sam_records(shown.out).size(), expected_.size() + 2 + 1);

  const test::RunResult logged =
      test::run_shell_on_terminal(dir(), "cat reads.fq | " + export_sam + " 2> log.txt", false);
  ASSERT_EQ(logged.status, 0) << logged.err;
  EXPECT_EQ(logged.err, "");
  EXPECT_EQ(slurp(path("log.txt")).find("conversion"), std::string::npos);
  EXPECT_EQ(logged.out, shown.out);

  const test::RunResult on_terminal = test::run_shell_on_terminal(dir(), stalled, true);
  ASSERT_EQ(on_terminal.status, 0) << on_terminal.err;
  EXPECT_NE(on_terminal.err.find(shown.out), std::string::npos);
  EXPECT_EQ(on_terminal.err.find("conversion"), std::string::npos) << on_terminal.err;
}

TEST_F(Quilm2samCliTest, HelpAndUsageErrors) {
  test::RunResult help = run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage: quilm2sam"), std::string::npos);
  for (const auto& args :
       std::vector<std::vector<std::string>>{{},
                                             {"-o", "-", "--sort"},
                                             {"-o", "x.bam", "--sort", "--sort-memory=lots"},
                                             {"-o", "x.bam", "--threads=0"},
                                             {"-o", "x.bam", "--threads=x"},
                                             {"-o", "x.bam", "--threads="},
                                             {"-o"}}) {
    test::RunResult r = run(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("quilm2sam: error: "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Usage: quilm2sam"), std::string::npos) << r.err;
  }
}

// Names that are not valid QNAMEs ('@' anywhere, control bytes, bytes above
// 127, more than 254 characters) are written changed, every record of a read
// under the same name; valid names, also those next to '@' in the byte
// order, stay as they are.
TEST_F(Quilm2samCliTest, InvalidReadNamesAreWrittenAsValidQnames) {
  const std::string long_name = "L" + std::string(253, 'n') + "@tail" + std::string(41, 't');
  std::map<int, std::string> names = {
      {1, "@a@b"}, {2, "q\x01x\x7f"}, {3, "r\xc3\xa9s"}, {4, "!?A~"}, {9, long_name}};
  std::string fastq;
  std::istringstream lines(run_.fastq());
  int line_number = 0;
  for (std::string line; std::getline(lines, line); ++line_number) {
    const int k = line_number / 4 + 1;
    if (line_number % 4 == 0 && names.count(k)) line = "@" + names[k] + " extra words";
    fastq += line + "\n";
  }
  spit(path("reads.fq"), fastq);
  const test::RunResult result = run({"-o", "out.sam", "--unmapped"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_NE(result.err.find("quilm2sam: 4 read names were not valid SAM names and were changed "
                            "(invalid characters replaced by '_', cut to 254 characters)\n"),
            std::string::npos)
      << result.err;
  std::map<std::string, int> records;
  for (const SamLine& r : sam_records(slurp(path("out.sam")))) ++records[r[0]];
  EXPECT_EQ(records["_a_b"], 1);
  EXPECT_EQ(records["q_x_"], 1);
  EXPECT_EQ(records["r__s"], 1);
  EXPECT_EQ(records["!?A~"], 1);
  EXPECT_EQ(records["q5"], 1);
  EXPECT_EQ(records[long_name.substr(0, 254)], 3);  // the three hits of the multi-hit read
  EXPECT_EQ(records.size(), run_.reads.size());
  EXPECT_EQ(shell("samtools quickcheck out.sam && samtools view -b out.sam > /dev/null"), 0);
}

// Each bad input names the file and the record, and an earlier output stays.
// Every file written, through any name, against every file read.
TEST_F(Quilm2samCliTest, AnOutputThatIsAnInputIsRefusedAndTheInputKept) {
  spit(path("resc.txt"), "");
  std::filesystem::create_symlink("ref.fa", path("ref.sam"));
  ASSERT_EQ(::link(path("reads.fq").c_str(), path("new.bam.bai").c_str()), 0);
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"-o", "reads.fq"}, "option -o ('reads.fq') names the file of -D ('reads.fq')"},
      {{"-o", "run-splice-low"}, "names the file of -O ('run-splice-low')"},
      {{"-o", "ref.sam"}, "option -o ('ref.sam') names the file of -R ('ref.fa')"},
      {{"-o", "new.bam", "--sort"}, "option -o ('new.bam.bai') names the file of -D"},
      {{"-o", "new.bam"}, "option -o ('new.bam.bai') names the file of -D"},
      {{"-o", "resc.txt", "--rescued=resc.txt"}, "names the file of --rescued ('resc.txt')"},
  };
  const std::string inputs[] = {"reads.fq", "ref.fa", "run-splice-low", "resc.txt"};
  std::map<std::string, std::string> before;
  for (const std::string& name : inputs) before[name] = slurp(path(name));
  for (const auto& [args, words] : cases) {
    const test::RunResult r = run(args);
    EXPECT_EQ(r.status, 1) << words;
    EXPECT_NE(r.err.find(words), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("which the run would overwrite"), std::string::npos) << r.err;
    for (const std::string& name : inputs) EXPECT_EQ(slurp(path(name)), before[name]) << name;
  }
  // A mapping-only run is read from -O itself; the six files are not read.
  spit(path("single"), run_.high);
  const auto single = [&](const std::string& output) {
    return test::run_program_in(
        dir(), test::program_path("quilm2sam"),
        {"-Rref.fa", "-Dreads.fq", "-Osingle", "--run-kind=mapping", "-o", output});
  };
  const test::RunResult mapping = single("run-splice-low");
  EXPECT_EQ(mapping.status, 0) << mapping.err;
  const test::RunResult own = single("single");
  EXPECT_EQ(own.status, 1);
  EXPECT_NE(own.err.find("option -o ('single') names the file of -O ('single')"), std::string::npos)
      << own.err;
  EXPECT_EQ(slurp(path("single")), run_.high);
}

TEST_F(Quilm2samCliTest, BadInputNamesFileAndRecordAndKeepsOutput) {
  spit(path("out.sam"), "earlier\n");
  const std::string good = run_.high;
  const auto& reads = run_.reads;
  const std::pair<std::string, std::string> cases[] = {
      {test::SmallRun::mapping(1, reads[0], 'F', "chrZ", 0, 100), "chromosome 'chrZ'"},
      {test::SmallRun::mapping(40, reads[0], 'F', "chrA", 0, 100), "names read 40"},
      {test::SmallRun::mapping(1, reads[0], 'F', "chrA", 0, 1990), "outside chromosome 'chrA'"},
      {test::SmallRun::mapping(2, reads[0], 'F', "chrA", 0, 100), "differs from read 2"},
      {"1\tACGT\nF\tchrA\tx\t5\n", "is malformed"},
  };
  for (const auto& [record, message] : cases) {
    spit(path("run-quilm2high"), good + record);
    for (const char* threads : {"--threads=1", "--threads=2"}) {
      test::RunResult r = run({"-o", "out.sam", threads});
      EXPECT_EQ(r.status, 1);
      EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
      EXPECT_NE(r.err.find("run-quilm2high': mapping output record 4"), std::string::npos) << r.err;
      EXPECT_EQ(slurp(path("out.sam")), "earlier\n");
    }
  }
  // A later file missing too: the first error in file order is reported,
  // though with threads the files are read at the same time.
  spit(path("run-quilm2high"), good + cases[0].first);
  std::filesystem::rename(path("run-quilm2low"), path("low.keep"));
  for (const char* threads : {"--threads=1", "--threads=2"}) {
    test::RunResult r = run({"-o", "out.sam", threads});
    EXPECT_NE(r.err.find("mapping output record 4 names chromosome 'chrZ'"), std::string::npos)
        << r.err;
  }
  std::filesystem::rename(path("low.keep"), path("run-quilm2low"));
  // A read that differs and, later in the dataset, a record cut short: the
  // first error in dataset order is the one reported, however far the
  // dataset was read ahead.
  spit(path("run-quilm2high"), good + test::SmallRun::mapping(2, reads[0], 'F', "chrA", 0, 100));
  spit(path("reads.fq"), slurp(path("reads.fq")) + "@short\nACGT\n+\nII\n");
  for (const char* threads : {"--threads=1", "--threads=2"}) {
    test::RunResult r = run({"-o", "out.sam", "--unmapped", threads});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("mapping output record 4 holds a sequence that differs from read 2"),
              std::string::npos)
        << r.err;
  }
  spit(path("reads.fq"), run_.fastq());
  spit(path("run-quilm2high"), good);
  spit(path("run-splice-low"), test::SmallRun::splice(1, reads[0], 'F', "chrB", 20, 0, 500, 980));
  test::RunResult r = run({"-o", "out.sam"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("run-splice-low': splice output record 1 places the read outside"),
            std::string::npos)
      << r.err;
  std::filesystem::remove(path("run-splice-low"));
  r = run({"-o", "out.sam"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("run-splice-low"), std::string::npos) << r.err;
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir()), {}), 8);
}

}  // namespace
}  // namespace quilm
