// Junction and gene counting on hand-made records over a small reference.
#include "sam/junction_table.hpp"

#include <htslib/sam.h>

#include "sam/gene_counts.hpp"
#include "sam/hts_handles.hpp"
#include "support/test_support.hpp"

namespace quilm::sam {
namespace {

class CountingTest : public test::TempDirTest {
 protected:
  CountingTest() {
    // An intron GT...AG at 101-200, CT...AC at 301-400, none at 501-600.
    std::string bases(1000, 'A');
    bases.replace(100, 2, "GT");
    bases.replace(198, 2, "AG");
    bases.replace(300, 2, "CT");
    bases.replace(398, 2, "AC");
    add_chromosome(genome, "c1", bases);
    const std::string text = "@SQ\tSN:c1\tLN:1000\n";
    header.reset(sam_hdr_parse(text.size(), text.c_str()));
  }
  // A record from the fields after QNAME, SEQ and QUAL left out.
  RecordPtr record(const std::string& name, const std::string& fields) {
    RecordPtr b = make_record();
    std::string line = name + "\t" + fields;
    kstring_t text = {line.size(), line.size() + 1, line.data()};
    EXPECT_GE(sam_parse1(&text, header.get(), b.get()), 0) << line;
    return b;
  }
  ReferenceGenome genome;
  HeaderPtr header;
};

TEST_F(CountingTest, IntronsCountUniqueAndMultiRecordsWithTheirMotifAndOverhangs) {
  JunctionCounts counts;
  count_record_junctions(
      record("a", "0\tc1\t91\t60\t10M100N20M100N5M\t*\t0\t0\t*\t*\tNH:i:1").get(), counts);
  count_record_junctions(record("b", "256\tc1\t81\t1\t20M100N8M\t*\t0\t0\t*\t*\tNH:i:2").get(),
                         counts);
  count_record_junctions(record("c", "0\tc1\t481\t1\t20M100N8M\t*\t0\t0\t*\t*\tNH:i:2").get(),
                         counts);
  count_record_junctions(record("d", "4\t*\t0\t0\t*\t*\t0\t0\t*\t*").get(), counts);
  ASSERT_EQ(counts.size(), 3u);
  const JunctionSupport& first = counts.at({0, 101, 200});
  EXPECT_EQ(first.unique_reads, 1);
  EXPECT_EQ(first.multi_reads, 1);
  EXPECT_EQ(first.max_overhang, 10);  // min(10, 20) and min(20, 8)
  EXPECT_EQ(first.max_left, 20);
  EXPECT_EQ(first.max_right, 20);
  EXPECT_EQ(counts.at({0, 221, 320}).max_overhang, 5);
  const KnownIntrons known = known_introns({{"c1", 101, 200, '+'}});
  const std::vector<JunctionRow> rows = junction_rows(counts, genome, known);
  ASSERT_EQ(rows.size(), 2u) << "the non-canonical intron of a multi-mapping read only is left out";
  EXPECT_EQ(rows[0].motif, IntronMotif::kGtAg);
  EXPECT_TRUE(rows[0].annotated);
  EXPECT_EQ(rows[1].motif, IntronMotif::kNonCanonical);
  EXPECT_FALSE(rows[1].annotated);
  EXPECT_EQ(intron_motif(genome.chromosomes[0], 301, 400), IntronMotif::kCtAc);
  EXPECT_EQ(motif_strand(IntronMotif::kCtAc), 2);
  EXPECT_EQ(motif_strand(IntronMotif::kGcAg), 1);
  write_junction_table(path("sj"), rows, genome);
  EXPECT_EQ(test::slurp(path("sj")),
            "c1\t101\t200\t1\t1\t1\t1\t1\t10\nc1\t221\t320\t0\t0\t0\t1\t0\t5\n");
  write_junction_bed(path("bed"), rows, genome);
  const std::string bed = test::slurp(path("bed"));
  EXPECT_EQ(bed.substr(0, bed.find('\n') + 1),
            "c1\t80\t220\tJUNC00000001\t1\t+\t80\t220\t0\t2\t20,20\t0,120\n");
}

TEST_F(CountingTest, GenesCountUniqueReadsByBlockOverlapAndStrand) {
  AnnotationGenes annotation;
  annotation.chromosomes = {"c1", "other"};
  annotation.ids = {"gB", "gA", "gC"};
  annotation.exons = {
      {0, 0, '+', 50, 100}, {0, 1, '-', 201, 250}, {0, 1, '-', 300, 310}, {1, 2, '+', 1, 100}};
  const GeneModel model = make_gene_model(annotation, genome);
  GeneCounter single(model, false);
  // gB forward; across gB's end and, by a deletion only, nothing more.
  single.add(record("r1", "0\tc1\t91\t60\t10M\t*\t0\t0\t*\t*\tNH:i:1").get());
  // Its intron skips gA's first exon: only gB.
  single.add(record("r2", "16\tc1\t96\t60\t5M150N5M\t*\t0\t0\t*\t*\tNH:i:1").get());
  // Both genes: ambiguous; then a deletion over gA's exon touches nothing.
  single.add(record("r3", "0\tc1\t91\t60\t20M100N20M\t*\t0\t0\t*\t*\tNH:i:1").get());
  single.add(record("r4", "0\tc1\t290\t60\t10M11D5M\t*\t0\t0\t*\t*\tNH:i:1").get());
  single.add(record("r5", "0\tc1\t91\t3\t10M\t*\t0\t0\t*\t*\tNH:i:2").get());
  single.add(record("r5", "256\tc1\t201\t3\t10M\t*\t0\t0\t*\t*\tNH:i:2").get());
  single.add(record("r6", "4\t*\t0\t0\t*\t*\t0\t0\t*\t*").get());
  const GeneCounts counts = single.finish();
  EXPECT_EQ(counts.per_gene[0], (std::vector<std::int64_t>{2, 0, 0}));
  // Stranded, r3 meets one gene on each strand.
  EXPECT_EQ(counts.per_gene[1], (std::vector<std::int64_t>{2, 0, 0}));
  EXPECT_EQ(counts.per_gene[2], (std::vector<std::int64_t>{1, 1, 0}));
  EXPECT_EQ(counts.ambiguous[0], 1);
  EXPECT_EQ(counts.ambiguous[1], 0) << "forward: only gB is on its strand";
  EXPECT_EQ(counts.no_feature[0], 1);
  EXPECT_EQ(counts.multimapping, 1);
  EXPECT_EQ(counts.mapped, 5);
  write_gene_counts(path("genes"), model, counts, 7);
  EXPECT_EQ(test::slurp(path("genes")).substr(0, 17), "N_unmapped\t2\t2\t2\n");

  GeneCounter pairs(model, true);
  // Mate 1 reverse in gA, mate 2 forward in gB and gA: the gene of both
  // mates wins; the fragment is on mate 1's strand.
  pairs.add(record("p", "83\tc1\t211\t60\t10M\t=\t91\t0\t*\t*\tNH:i:1").get());
  pairs.add(record("p", "163\tc1\t91\t60\t20M100N20M\t=\t211\t0\t*\t*\tNH:i:1").get());
  const GeneCounts fragments = pairs.finish();
  EXPECT_EQ(fragments.per_gene[0], (std::vector<std::int64_t>{0, 1, 0}));
  EXPECT_EQ(fragments.per_gene[1], (std::vector<std::int64_t>{0, 1, 0}));
  EXPECT_EQ(fragments.no_feature[2], 0);
  EXPECT_EQ(fragments.per_gene[2], (std::vector<std::int64_t>{1, 0, 0}));
}

}  // namespace
}  // namespace quilm::sam
