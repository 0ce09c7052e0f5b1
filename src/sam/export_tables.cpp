#include "sam/export_tables.hpp"

#include "common/errors.hpp"
#include "common/known_junctions.hpp"
#include "sam/stored_records.hpp"

namespace quilm::sam {

namespace {

std::unique_ptr<GeneModel> read_gene_model(const std::string& path, const ReferenceGenome& genome) {
  const AnnotationGenes annotation = read_gene_exons(path);
  if (annotation.exons.empty())
    throw InputError("--annotation='" + path +
                     "': no exon line with a gene_id (GTF) or a Parent (GFF) to count reads by");
  return std::make_unique<GeneModel>(make_gene_model(annotation, genome));
}

}  // namespace

bool tables_wanted(const SamOptions& options) {
  return !options.sj_path.empty() || !options.sj_bed_path.empty() ||
         !options.gene_counts_path.empty();
}

ExportTables::ExportTables(const SamOptions& options, const ReferenceGenome& genome, bool paired) {
  junctions_wanted = !options.sj_path.empty() || !options.sj_bed_path.empty();
  if (junctions_wanted && !options.annotation_path.empty())
    known = known_introns(read_known_junctions(options.annotation_path));
  if (!options.gene_counts_path.empty()) {
    genes = read_gene_model(options.annotation_path, genome);
    gene_counter.emplace(*genes, paired);
  }
}

void tally_records(ExportTables& tables, const std::vector<std::uint8_t>& records) {
  for (std::size_t at = 0; at < records.size();) {
    const bam1_t view = stored_record(records.data() + at);
    if (tables.junctions_wanted) count_record_junctions(&view, tables.junctions);
    if (tables.gene_counter) tables.gene_counter->add(&view);
    at += stored_size(&view);
  }
}

void write_export_tables(const SamOptions& options, ExportTables& tables,
                         const ReferenceGenome& genome, std::int64_t total) {
  if (tables.junctions_wanted) {
    const std::vector<JunctionRow> rows = junction_rows(tables.junctions, genome, tables.known);
    if (!options.sj_path.empty()) write_junction_table(options.sj_path, rows, genome);
    if (!options.sj_bed_path.empty()) write_junction_bed(options.sj_bed_path, rows, genome);
  }
  if (tables.gene_counter)
    write_gene_counts(options.gene_counts_path, *tables.genes, tables.gene_counter->finish(),
                      total);
}

}  // namespace quilm::sam
