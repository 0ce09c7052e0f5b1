// Selection of the exon lines of a GTF or GFF annotation, read once for the
// whole genome and grouped by chromosome (the first column).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quilm {

// One selected exon line; coordinates as written (1-based, inclusive).
struct ExonLine {
  std::uint32_t transcript = 0;  // index into ChromosomeExons::ids
  char strand = '.';             // seventh column's first character, or '.'
  long start = 0;
  long end = 0;
};

// The exon lines of one chromosome in file order, with their transcript
// identifiers stored once each (in order of first appearance).
struct ChromosomeExons {
  std::vector<std::string> ids;
  std::vector<ExonLine> lines;
};

using AnnotationExons = std::unordered_map<std::string, ChromosomeExons>;

// The fields of an exon line that the tables need.
struct ExonFields {
  std::string_view chromosome;
  std::string_view id;
  long start = 0;
  long end = 0;
  char strand = '.';
};

// Decimal conversion the way atol does it: leading blanks, a sign, digits;
// anything else ends the number (no digits give 0).
long decimal_prefix(std::string_view text);

// A GTF exon line: third column exactly "exon" and the word "transcript_id"
// somewhere in the attribute column, followed by the identifier (quotes
// skipped, ending at the next quote). Line ends must already be stripped.
bool select_gtf_exon(std::string_view line, ExonFields& fields);

// A GFF exon line: no leading "#", contains "exon\t" and "Parent=", third
// column exactly "exon"; the identifier follows the "=" after the first
// "="-separated piece that contains "Parent", up to ";" or the line end.
bool select_gff_exon(std::string_view line, ExonFields& fields);

// A GTF exon line as select_gtf_exon, with the identifier of the word
// "gene_id" instead.
bool select_gtf_gene_exon(std::string_view line, ExonFields& fields);

// A GFF exon line as select_gff_exon; its identifier is that of a
// "gene_id=" attribute when it has one, else its Parent.
bool select_gff_gene_exon(std::string_view line, ExonFields& fields);

// Reads every GTF (transcriptid_stack) or GFF (gff_stack) exon line of the
// annotation, skipping blank lines and CR before LF.
AnnotationExons transcriptid_stack(const std::string& gtf_path);
AnnotationExons gff_stack(const std::string& gff_path);

// An exon line with the gene it belongs to; coordinates as written.
struct GeneExonLine {
  std::uint32_t chromosome = 0;  // index into AnnotationGenes::chromosomes
  std::uint32_t gene = 0;        // index into AnnotationGenes::ids
  char strand = '.';
  long start = 0;
  long end = 0;
};

// The exon lines of an annotation in file order; chromosome and gene names
// are numbered in order of first appearance.
struct AnnotationGenes {
  std::vector<std::string> chromosomes;
  std::vector<std::string> ids;
  std::vector<GeneExonLine> exons;
};

// The exons of a GTF annotation by gene_id, or when it has none of a GFF
// one (see select_gff_gene_exon). Empty when the file holds neither.
AnnotationGenes read_gene_exons(const std::string& path);

}  // namespace quilm
