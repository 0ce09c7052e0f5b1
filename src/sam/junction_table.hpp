// The introns of the export's alignments, counted from its records and
// written as a nine-column junction table and as BED12 for genome browsers.
#pragma once

#include <htslib/sam.h>

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "common/junction_file.hpp"
#include "sam/reference_genome.hpp"

namespace quilm::sam {

struct JunctionKey {
  std::int32_t chromosome = 0;  // ordinal in the reference (the header's order)
  std::int64_t first = 0;       // 1-based first intron base
  std::int64_t last = 0;        // 1-based last intron base
  friend auto operator<=>(const JunctionKey&, const JunctionKey&) = default;
};

struct JunctionSupport {
  std::int64_t unique_reads = 0;  // records of reads with NH 1
  std::int64_t multi_reads = 0;   // records of reads with NH above 1
  // Reference bases (M, =, X, D) of the aligned piece on each side, between
  // the intron and the next intron or the alignment's end; the largest of
  // the smaller of the two, and the largest of each side.
  std::int64_t max_overhang = 0;
  std::int64_t max_left = 0;
  std::int64_t max_right = 0;
};

using JunctionCounts = std::map<JunctionKey, JunctionSupport>;

// Counts every intron (N operation) of one mapped record; unmapped records
// are passed over.
void count_record_junctions(const bam1_t* record, JunctionCounts& counts);

// Intron motifs by their first and last two bases on the forward strand.
enum class IntronMotif {
  kNonCanonical = 0,
  kGtAg = 1,
  kCtAc = 2,
  kGcAg = 3,
  kCtGc = 4,
  kAtAc = 5,
  kGtAt = 6
};

IntronMotif intron_motif(const Chromosome& chromosome, std::int64_t first, std::int64_t last);

// 1 for the motifs read on the forward strand, 2 for their reverse
// complements, 0 for a non-canonical intron.
int motif_strand(IntronMotif motif);

struct JunctionRow {
  JunctionKey key;
  JunctionSupport support;
  IntronMotif motif = IntronMotif::kNonCanonical;
  bool annotated = false;
};

// Introns by chromosome name, first and last base, whatever their strand.
using KnownIntrons = std::set<std::tuple<std::string, std::int64_t, std::int64_t>>;

KnownIntrons known_introns(const std::vector<ChromosomeJunction>& junctions);

// The rows to write, in chromosome order then position: a non-canonical
// intron that no uniquely mapping read crosses is left out.
std::vector<JunctionRow> junction_rows(const JunctionCounts& counts, const ReferenceGenome& genome,
                                       const KnownIntrons& known);

// One tab-separated line per row: chromosome, first and last intron base,
// strand, motif, annotated, unique reads, multi-mapping reads, largest
// overhang.
void write_junction_table(const std::string& path, const std::vector<JunctionRow>& rows,
                          const ReferenceGenome& genome);

// BED12, one line per row: the two blocks reach as far as the largest
// piece aligned on each side; name JUNC<8 digits> in row order, score the
// unique reads, strand from the motif ('.' for none).
void write_junction_bed(const std::string& path, const std::vector<JunctionRow>& rows,
                        const ReferenceGenome& genome);

}  // namespace quilm::sam
