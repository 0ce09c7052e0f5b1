#include <gtest/gtest.h>
#include <htslib/sam.h>

#include <string>

#include "sam/alignment_score.hpp"
#include "sam/summary_file.hpp"
#include "sam/unmapped_fastq.hpp"

namespace quilm::sam {
namespace {

Placement placed(const std::string& sequence, std::initializer_list<std::pair<int, int>> cigar,
                 const std::string& md) {
  Placement p;
  p.sequence = sequence;
  for (auto [length, op] : cigar)
    p.cigar.push_back(bam_cigar_gen(static_cast<std::uint32_t>(length), op));
  p.md = md;
  return p;
}

TEST(AlignmentScore, FollowsTheRescueScale) {
  const std::string bases(20, 'A');
  // All matching; one mismatch; a mismatch against an N of the reference,
  // and an N of the read.
  EXPECT_EQ(alignment_score(placed(bases, {{20, BAM_CMATCH}}, "20")), 20);
  EXPECT_EQ(alignment_score(placed(bases, {{20, BAM_CMATCH}}, "5C14")), 19 - 4);
  EXPECT_EQ(alignment_score(placed(bases, {{20, BAM_CMATCH}}, "5N14")), 19 - 1);
  EXPECT_EQ(alignment_score(placed("AAAAANAAAAAAAAAAAAAA", {{20, BAM_CMATCH}}, "5C14")), 19 - 1);
  // An intron of the run, a soft-clipped end, and a clip at both ends.
  EXPECT_EQ(alignment_score(
                placed(bases, {{8, BAM_CMATCH}, {500, BAM_CREF_SKIP}, {12, BAM_CMATCH}}, "20")),
            20 - 2);
  EXPECT_EQ(alignment_score(placed(bases, {{3, BAM_CSOFT_CLIP}, {17, BAM_CMATCH}}, "17")), 17 - 5);
  EXPECT_EQ(alignment_score(
                placed(bases, {{3, BAM_CSOFT_CLIP}, {14, BAM_CMATCH}, {3, BAM_CSOFT_CLIP}}, "14")),
            14 - 10);
}

TEST(AlignmentScore, IndelsCostOpenPlusLengthAndKeepMdInStep) {
  const std::string bases(20, 'A');
  EXPECT_EQ(alignment_score(
                placed(bases, {{10, BAM_CMATCH}, {2, BAM_CDEL}, {10, BAM_CMATCH}}, "10^GG10")),
            20 - 8);
  EXPECT_EQ(
      alignment_score(placed(bases, {{9, BAM_CMATCH}, {1, BAM_CINS}, {10, BAM_CMATCH}}, "19")),
      19 - 7);
  // A mismatch just before a deletion ("0" between them) and just after it.
  EXPECT_EQ(alignment_score(
                placed(bases, {{10, BAM_CMATCH}, {1, BAM_CDEL}, {10, BAM_CMATCH}}, "9C0^T0G9")),
            18 - 4 - 4 - 7);
}

TEST(SummaryText, SingleReadsInTheUsualLayout) {
  SummaryCounts c;
  c.reads = 5928;
  c.once = 5835;
  c.more = 30;
  EXPECT_EQ(summary_text(c),
            "5928 reads; of these:\n"
            "  5928 (100.00%) were unpaired; of these:\n"
            "    63 (1.06%) aligned 0 times\n"
            "    5835 (98.43%) aligned exactly 1 time\n"
            "    30 (0.51%) aligned >1 times\n"
            "98.94% overall alignment rate\n");
  EXPECT_EQ(summary_text(SummaryCounts{}),
            "0 reads; of these:\n"
            "  0 (0.00%) were unpaired; of these:\n"
            "    0 (0.00%) aligned 0 times\n"
            "    0 (0.00%) aligned exactly 1 time\n"
            "    0 (0.00%) aligned >1 times\n"
            "0.00% overall alignment rate\n");
}

TEST(SummaryText, PairsByConcordanceThenTheirMates) {
  SummaryCounts c;
  c.paired = true;
  c.reads = 1000;
  // Counted as the export meets them: one pair at a time.
  for (int k = 0; k < 990; ++k) count_pair(c, 1, 1, 1);
  for (int k = 0; k < 3; ++k) count_pair(c, 2, 2, 2);
  count_pair(c, 0, 1, 1);  // discordant, each mate once
  count_pair(c, 0, 2, 1);  // discordant with a multi-hit mate: counted by mates
  count_pair(c, 0, 1, 0);
  for (int k = 0; k < 4; ++k) count_pair(c, 0, 0, 0);
  SummaryCounts total;
  total.paired = true;
  total.reads = c.reads;
  add_counts(total, c);
  EXPECT_EQ(summary_text(total),
            "1000 reads; of these:\n"
            "  1000 (100.00%) were paired; of these:\n"
            "    7 (0.70%) aligned concordantly 0 times\n"
            "    990 (99.00%) aligned concordantly exactly 1 time\n"
            "    3 (0.30%) aligned concordantly >1 times\n"
            "    ----\n"
            "    7 pairs aligned concordantly 0 times; of these:\n"
            "      1 (14.29%) aligned discordantly 1 time\n"
            "    ----\n"
            "    6 pairs aligned 0 times concordantly or discordantly; of these:\n"
            "      12 mates make up the pairs; of these:\n"
            "        9 (75.00%) aligned 0 times\n"
            "        2 (16.67%) aligned exactly 1 time\n"
            "        1 (8.33%) aligned >1 times\n"
            "99.55% overall alignment rate\n");
}

TEST(UnmappedFastqPaths, GzipEndingMovesToTheEnd) {
  EXPECT_EQ(unmapped_fastq_paths("out/un", false), std::vector<std::string>{"out/un.fq"});
  EXPECT_EQ(unmapped_fastq_paths("un.gz", false), std::vector<std::string>{"un.fq.gz"});
  EXPECT_EQ(unmapped_fastq_paths("un", true), (std::vector<std::string>{"un_1.fq", "un_2.fq"}));
  EXPECT_EQ(unmapped_fastq_paths("un.gz", true),
            (std::vector<std::string>{"un_1.fq.gz", "un_2.fq.gz"}));
  EXPECT_EQ(unmapped_fastq_paths(".gz", false), std::vector<std::string>{".gz.fq"});
}

}  // namespace
}  // namespace quilm::sam
