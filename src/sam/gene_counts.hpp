// Reads (for pairs: fragments) per gene, counted from the export's records
// the way the common read counter counts by default: only uniquely mapped
// reads, each aligned block (CIGAR M, = and X; N and D end a block) tested
// for an overlap of at least one base with the exons of each gene; a read
// that meets exons of two or more genes is ambiguous and not counted; for a
// pair the gene that more of its mates meet wins, a tie is ambiguous. Three
// columns: unstranded, stranded as the read (as mate 1 for pairs), stranded
// against it.
#pragma once

#include <htslib/sam.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "common/annotation_reading.hpp"
#include "sam/reference_genome.hpp"

namespace quilm::sam {

struct GeneExon {
  std::int64_t start = 0;  // 1-based, inclusive
  std::int64_t end = 0;
  std::uint32_t gene = 0;
  char strand = '.';
};

// The exons of each reference chromosome sorted by start, with the largest
// end among each exon and those before it, so that an overlap search can
// stop early.
struct GeneModel {
  std::vector<std::string> genes;            // in the order they first appear in the annotation
  std::vector<std::vector<GeneExon>> exons;  // by chromosome ordinal
  std::vector<std::vector<std::int64_t>> ends_before;  // running largest end
};

// Exons on chromosomes the reference lacks are left out; their genes are
// still listed (with no reads).
GeneModel make_gene_model(const AnnotationGenes& annotation, const ReferenceGenome& genome);

inline constexpr int kStrandings = 3;  // unstranded, as the read, against the read

struct GeneCounts {
  std::array<std::vector<std::int64_t>, kStrandings> per_gene;
  std::array<std::int64_t, kStrandings> no_feature{};
  std::array<std::int64_t, kStrandings> ambiguous{};
  std::int64_t multimapping = 0;
  std::int64_t mapped = 0;  // reads or fragments with any mapped record
};

// Takes the records in the order the export writes them, before sorting: a
// read's records (both mates' for a pair) follow each other, its primary
// record (mate 1's, when it has one) first.
class GeneCounter {
 public:
  GeneCounter(const GeneModel& model, bool paired);
  void add(const bam1_t* record);
  // Counts the last read; call once after the last record.
  GeneCounts finish();

 private:
  struct Block {
    std::int32_t chromosome;
    std::int64_t start;  // 1-based, inclusive
    std::int64_t end;
    int mate;  // 0: a single read or mate 1, 1: mate 2
  };
  bool starts_read(const bam1_t* record) const;
  void close_read();
  void assign();
  void add_overlapped_genes(const Block& block, char read_strand, int stranding);

  const GeneModel& model_;
  bool paired_;
  GeneCounts counts_;
  bool open_ = false;
  bool multi_ = false;
  bool has_second_ = false;
  int strand_from_ = 0;  // 1: mate 1 or a single read set it; 2: mate 2
  bool reverse_ = false;
  std::string name_;
  std::vector<Block> blocks_;
  std::vector<std::uint32_t> genes_;
  std::vector<std::uint32_t> mate_genes_;
};

// Four summary lines (N_unmapped, N_multimapping, N_noFeature,
// N_ambiguous), then one line per gene in annotation order; a value for
// each of the three strandings. `total` is the reads (pairs) of the
// dataset: those without a mapped record are the unmapped ones.
void write_gene_counts(const std::string& path, const GeneModel& model, const GeneCounts& counts,
                       std::int64_t total);

}  // namespace quilm::sam
