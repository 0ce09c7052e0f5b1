// Known junctions from annotations and junction tables, the run's own split
// hits, and the rescue records that carry alignments between programs.
#include "pipeline/junction_sources.hpp"

#include "common/cigar.hpp"
#include "common/errors.hpp"
#include "common/junction_file.hpp"
#include "common/rescue_record.hpp"
#include "pipeline/merged_splice_record.hpp"
#include "rescue/rescue_task.hpp"
#include "support/test_support.hpp"

namespace quilm {
namespace {

class JunctionSources : public test::TempDirTest {};

TEST_F(JunctionSources, IntronsOfGtfGffAndJunctionTables) {
  test::spit(path("a.gtf"),
             "c1\tx\texon\t500\t600\t.\t-\t.\tgene_id \"g\"; transcript_id \"t1\";\n"
             "c1\tx\texon\t100\t200\t.\t-\t.\tgene_id \"g\"; transcript_id \"t1\";\n"
             "c1\tx\texon\t100\t200\t.\t-\t.\tgene_id \"g\"; transcript_id \"t2\";\n"
             "c1\tx\texon\t300\t400\t.\t-\t.\tgene_id \"g\"; transcript_id \"t2\";\n"
             "c1\tx\texon\t900\t950\t.\t+\t.\tgene_id \"g\"; transcript_id \"t3\";\n");
  EXPECT_EQ(read_known_junctions(path("a.gtf")),
            (std::vector<ChromosomeJunction>{{"c1", 201, 299, '-'}, {"c1", 201, 499, '-'}}));
  test::spit(path("a.gff"),
             "##gff-version 3\n"
             "c2\tx\texon\t10\t20\t.\t+\t.\tID=e1;Parent=t9\n"
             "c2\tx\texon\t40\t60\t.\t+\t.\tID=e2;Parent=t9\n");
  EXPECT_EQ(read_known_junctions(path("a.gff")),
            (std::vector<ChromosomeJunction>{{"c2", 21, 39, '+'}}));
  // A refjunc table names the last exon base and the first base after.
  test::spit(path("junction"), "1 c3 + 100,200 20,30 4\n2 c3 - 300,450 8,9 1\n");
  EXPECT_EQ(read_known_junctions(path("junction")),
            (std::vector<ChromosomeJunction>{{"c3", 101, 199, '+'}, {"c3", 301, 449, '-'}}));
}

TEST_F(JunctionSources, UnusableFilesAreRefusedByName) {
  EXPECT_THROW(read_known_junctions(path("missing.gtf")), IoError);
  test::spit(path("notes.txt"), "these are not junctions\n");
  try {
    read_known_junctions(path("notes.txt"));
    FAIL();
  } catch (const InputError& e) {
    EXPECT_NE(std::string(e.what()).find(path("notes.txt")), std::string::npos);
  }
  // Single-exon transcripts name no junction.
  test::spit(path("one.gtf"), "c1\tx\texon\t5\t50\t.\t+\t.\ttranscript_id \"t\";\n");
  EXPECT_THROW(read_known_junctions(path("one.gtf")), InputError);
}

// Junctions that match nothing are counted by cause with an example; none
// matching is an error, as the rescue would run as if no file were given.
TEST_F(JunctionSources, JunctionsOffTheReferenceAreCountedAndNoneFittingIsRefused) {
  const std::vector<FastaSequence> reference = {{"chr1", 1, 1000}, {"chr2", 20, 500}};
  const std::vector<ChromosomeJunction> known = {{"1", 101, 199, '+'},     {"1", 301, 399, '+'},
                                                 {"chr1", 101, 1000, '+'}, {"chr1", 101, 1001, '+'},
                                                 {"chr2", 10, 20, '-'},    {"chrM", 5, 9, '+'}};
  const JunctionFit fit = fit_known_junctions(known, reference);
  EXPECT_EQ(fit.unknown_chromosome, 3);
  EXPECT_EQ(fit.unknown_example, "1");
  EXPECT_EQ(fit.past_end, 1);
  EXPECT_EQ(fit.past_end_example, "chr1");
  EXPECT_EQ(fit.fitting, 2);
  const std::string warning = check_known_junctions("g.gtf", known, "ref.fa", reference);
  EXPECT_EQ(warning,
            "--junctions='g.gtf': 4 of its 6 junctions match nothing and are not used: 3 on "
            "chromosomes that reference 'ref.fa' does not hold (such as '1'; the reference's "
            "first is 'chr1'), 1 past the end of their chromosome (such as on 'chr1')");
  EXPECT_EQ(check_known_junctions("g.gtf", {known[2], known[4]}, "ref.fa", reference), "");
  try {
    check_known_junctions("g.gtf", {known[0], known[1], known[3]}, "ref.fa", reference);
    FAIL() << "accepted";
  } catch (const InputError& e) {
    EXPECT_NE(std::string(e.what()).find("--junctions='g.gtf': none of its 3 junctions lies on "
                                         "the reference: 2 on chromosomes"),
              std::string::npos)
        << e.what();
  }
}

TEST_F(JunctionSources, RunJunctionsNeedTwoReadsOrOneTrustedRead) {
  OutputFile out(path("splice.tmp"));
  const std::string seq(100, 'A');
  // read, strand, chromosome, split, errors, first, second: intron first + split + 2 ..
  // second + split + 1 (1-based)
  const auto hit = [&](long long read, int errors, long long first, long long second) {
    MergedSpliceRecord r;
    r.hit = {read, seq, 'F', "c1", 49, errors, first, second};
    r.signals = std::string(100, '0');
    write_merged_splice_record(out, r);
  };
  hit(1, 0, 1000, 2000);  // trusted: the read's only hit, high quality
  hit(2, 5, 3000, 4000);  // low quality, alone
  hit(3, 5, 3000, 4000);  // ... unless a second read has it
  hit(4, 0, 5000, 6000);  // two hits of one read: not trusted
  hit(4, 0, 7000, 8000);
  out.close();
  EXPECT_EQ(run_junctions(path("splice.tmp")),
            (std::vector<ChromosomeJunction>{{"c1", 1051, 2050, '+'}, {"c1", 3051, 4050, '+'}}));
}

TEST_F(JunctionSources, RecordsRoundTripAndBadLinesAreNamed) {
  {
    OutputFile out(path("1.r"));
    write_rescue_hit(out, {7, 123, true, "5S95M", 90, 1, RescueKind::kClipped, '.'});
    write_rescue_hit(out, {9, 0, false, "10M200N90M", 98, 0, RescueKind::kShortAnchor, '-'});
    out.close();
  }
  RescueHitReader reader(path("1.r"));
  RescueHit h;
  ASSERT_TRUE(reader.next(h));
  EXPECT_EQ(h.read_number, 7);
  EXPECT_TRUE(h.reverse);
  EXPECT_EQ(h.kind, RescueKind::kClipped);
  ASSERT_TRUE(reader.next(h));
  EXPECT_EQ(h.cigar, "10M200N90M");
  EXPECT_EQ(h.intron_strand, '-');
  EXPECT_FALSE(reader.next(h));
  EXPECT_EQ(cigar_reference_length("5S10M2I3M200N4M1D"), 218);

  test::spit(path("2.r"), "7\t123\t+\t5S95M\t90\t1\tnokind\t.\n");
  RescueHitReader bad(path("2.r"));
  EXPECT_THROW(bad.next(h), InputError);
  write_junction_file(path("j.txt"), {{"c1", 5, 60, '+'}});
  EXPECT_EQ(read_junction_file(path("j.txt")),
            (std::vector<ChromosomeJunction>{{"c1", 5, 60, '+'}}));
  test::spit(path("j2.txt"), "c1\t60\t5\t+\n");
  EXPECT_THROW(read_junction_file(path("j2.txt")), InputError);
}

}  // namespace
}  // namespace quilm
