#include "common/annotation_reading.hpp"

#include "support/test_support.hpp"

namespace quilm {
namespace {

using test::spit;

class AnnoprepAnnotationTest : public test::TempDirTest {};

// "transcript:exon:exon..." per chromosome, to compare a whole reading at once.
std::string describe(const AnnotationExons& all, const std::string& chromosome) {
  auto it = all.find(chromosome);
  if (it == all.end()) return "";
  std::string text;
  for (const ExonLine& line : it->second.lines) {
    text += it->second.ids[line.transcript] + "(" + line.strand + ")" + std::to_string(line.start) +
            "-" + std::to_string(line.end) + " ";
  }
  return text;
}

TEST_F(AnnoprepAnnotationTest, GtfTakesExonLinesWithTranscriptIdAnywhere) {
  spit(path("a.gtf"),
       "chr1\ts\tgene\t1\t90\t.\t+\t.\tgene_id \"G\"; transcript_id \"G\";\n"
       "chr1\ts\texon\t5\t9\t.\t+\t.\tgene_id \"G\"; transcript_id \"T1\"; exon_number 1;\n"
       "chr1\ts\tCDS\t5\t9\t.\t+\t0\tgene_id \"G\"; transcript_id \"T1\";\n"
       "\n"
       "chr10\ts\texon\t7\t8\t.\t-\t.\tgene_id \"G\"; transcript_id \"T2\";\r\n"
       "chr1\ts\texon\t20\t30\t.\t-\t.\ttranscript_id \"T0\"; gene_id \"G\";\r\n"
       "chr1\ts\texon\t40\t50\t.\t+\t.\tgene_id \"G\"; exon_id \"E\";\n"
       "chr1\ts\texons\t40\t50\t.\t+\t.\tgene_id \"G\"; transcript_id \"T9\";\n"
       "chr1\ts\texon\t60\t70\t.\t+\t.\tgene_id \"G\"; transcript_id T3\n");
  AnnotationExons all = transcriptid_stack(path("a.gtf"));
  EXPECT_EQ(describe(all, "chr1"), "T1(+)5-9 T0(-)20-30 T3(+)60-70 ");
  EXPECT_EQ(describe(all, "chr10"), "T2(-)7-8 ");
  EXPECT_EQ(all.size(), 2u);
}

TEST_F(AnnoprepAnnotationTest, GffTakesTheParentOfExonLines) {
  spit(path("a.gff3"),
       "##gff-version 3\n"
       "#chr1\ts\texon\t1\t2\t.\t+\t.\tParent=C\n"
       "chr1\ts\tmRNA\t1\t90\t.\t+\t.\tID=T1;Parent=G\n"
       "chr1\ts\texon\t5\t9\t.\t+\t.\tID=exon:T1:1;Parent=T1;Name=x\n"
       "chr10\ts\texon\t7\t8\t.\t-\t.\tID=e2;Parent=chr1T\n"
       "chr1\ts\texon\t20\t30\t.\t-\t.\tParent=T0\r\n"
       "chr1\ts\texon\t40\t50\t.\t.\t.\tID=e4;OldParent=T4;Parent=T5\n"
       "chr1\ts\tCDS\t5\t9\t.\t+\t0\tID=c;Parent=T1\n"
       "\n"
       "chr1\ts\texon\t60\t70\t.\t+\t.\tID=e6\n");
  AnnotationExons all = gff_stack(path("a.gff3"));
  // "OldParent" is the first "="-separated piece that holds "Parent".
  EXPECT_EQ(describe(all, "chr1"), "T1(+)5-9 T0(-)20-30 T4(.)40-50 ");
  EXPECT_EQ(describe(all, "chr10"), "chr1T(-)7-8 ");
}

TEST(AnnoprepAnnotationFields, CoordinatesConvertLikeAtol) {
  EXPECT_EQ(decimal_prefix(" 42x"), 42);
  EXPECT_EQ(decimal_prefix("-7"), -7);
  EXPECT_EQ(decimal_prefix("+3"), 3);
  EXPECT_EQ(decimal_prefix("x1"), 0);
  EXPECT_EQ(decimal_prefix(""), 0);
  ExonFields fields;
  // Quotes before the value are skipped; the value ends at the next quote.
  ASSERT_TRUE(select_gtf_exon("c\ts\texon\t1\t2\t.\t+\t.\ttranscript_id \"\"A\"x;", fields));
  EXPECT_EQ(fields.id, "A");
  EXPECT_FALSE(select_gtf_exon("c\ts\texon\t1\t2\t.\t+\t.\tgene_id \"G\"; transcript_id", fields));
  EXPECT_FALSE(select_gtf_exon("c\ts\texon\t1\t2\t.\t+\t.", fields));
}

}  // namespace
}  // namespace quilm
