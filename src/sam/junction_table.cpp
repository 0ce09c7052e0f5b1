#include "sam/junction_table.hpp"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "common/output_file.hpp"

namespace quilm::sam {

namespace {

std::int64_t hit_count(const bam1_t* record) {
  const std::uint8_t* nh = bam_aux_get(record, "NH");
  return nh ? bam_aux2i(nh) : 1;
}

// The reference bases of each aligned piece between introns, and where each
// intron lies.
struct SplitAlignment {
  std::vector<std::int64_t> pieces;  // one more than introns
  std::vector<JunctionKey> introns;
};

SplitAlignment split_alignment(const bam1_t* record) {
  SplitAlignment split;
  const std::uint32_t* cigar = bam_get_cigar(record);
  std::int64_t position = record->core.pos;  // 0-based, next reference base
  std::int64_t piece = 0;
  for (std::uint32_t k = 0; k < record->core.n_cigar; ++k) {
    const int op = bam_cigar_op(cigar[k]);
    const std::int64_t length = bam_cigar_oplen(cigar[k]);
    if (op == BAM_CREF_SKIP) {
      split.pieces.push_back(piece);
      split.introns.push_back({record->core.tid, position + 1, position + length});
      piece = 0;
    } else if (bam_cigar_type(op) & 2) {
      piece += length;
    }
    if (bam_cigar_type(op) & 2) position += length;
  }
  split.pieces.push_back(piece);
  return split;
}

}  // namespace

void count_record_junctions(const bam1_t* record, JunctionCounts& counts) {
  if (record->core.flag & BAM_FUNMAP) return;
  const SplitAlignment split = split_alignment(record);
  if (split.introns.empty()) return;
  const bool unique = hit_count(record) <= 1;
  for (std::size_t k = 0; k < split.introns.size(); ++k) {
    JunctionSupport& s = counts[split.introns[k]];
    ++(unique ? s.unique_reads : s.multi_reads);
    const std::int64_t left = split.pieces[k];
    const std::int64_t right = split.pieces[k + 1];
    s.max_overhang = std::max(s.max_overhang, std::min(left, right));
    s.max_left = std::max(s.max_left, left);
    s.max_right = std::max(s.max_right, right);
  }
}

IntronMotif intron_motif(const Chromosome& chromosome, std::int64_t first, std::int64_t last) {
  if (last - first < 3 || first < 1 || last > chromosome.length) return IntronMotif::kNonCanonical;
  std::string buffer;
  const std::string donor(chromosome.fetch(first - 1, 2, buffer));
  const std::string acceptor(chromosome.fetch(last - 2, 2, buffer));
  struct Motif {
    const char* donor;
    const char* acceptor;
    IntronMotif motif;
  };
  static constexpr Motif kMotifs[] = {
      {"GT", "AG", IntronMotif::kGtAg}, {"CT", "AC", IntronMotif::kCtAc},
      {"GC", "AG", IntronMotif::kGcAg}, {"CT", "GC", IntronMotif::kCtGc},
      {"AT", "AC", IntronMotif::kAtAc}, {"GT", "AT", IntronMotif::kGtAt}};
  for (const Motif& m : kMotifs)
    if (donor == m.donor && acceptor == m.acceptor) return m.motif;
  return IntronMotif::kNonCanonical;
}

int motif_strand(IntronMotif motif) {
  if (motif == IntronMotif::kNonCanonical) return 0;
  return static_cast<int>(motif) % 2 == 1 ? 1 : 2;
}

KnownIntrons known_introns(const std::vector<ChromosomeJunction>& junctions) {
  KnownIntrons known;
  for (const ChromosomeJunction& j : junctions) known.emplace(j.chromosome, j.first, j.last);
  return known;
}

std::vector<JunctionRow> junction_rows(const JunctionCounts& counts, const ReferenceGenome& genome,
                                       const KnownIntrons& known) {
  std::vector<JunctionRow> rows;
  for (const auto& [key, support] : counts) {
    const Chromosome& chromosome = genome.chromosomes[static_cast<std::size_t>(key.chromosome)];
    const IntronMotif motif = intron_motif(chromosome, key.first, key.last);
    // A non-canonical intron seen only in reads placed elsewhere too is
    // most likely an artefact of one of those placements.
    if (motif == IntronMotif::kNonCanonical && support.unique_reads == 0) continue;
    const bool annotated = known.contains({chromosome.name, key.first, key.last});
    rows.push_back({key, support, motif, annotated});
  }
  return rows;
}

void write_junction_table(const std::string& path, const std::vector<JunctionRow>& rows,
                          const ReferenceGenome& genome) {
  OutputFile out(path, OutputFile::Mode::kTruncateThroughLinks);
  for (const JunctionRow& row : rows) {
    const JunctionSupport& s = row.support;
    out.write(genome.chromosomes[static_cast<std::size_t>(row.key.chromosome)].name);
    for (const long long value :
         {static_cast<long long>(row.key.first), static_cast<long long>(row.key.last),
          static_cast<long long>(motif_strand(row.motif)), static_cast<long long>(row.motif),
          static_cast<long long>(row.annotated), static_cast<long long>(s.unique_reads),
          static_cast<long long>(s.multi_reads), static_cast<long long>(s.max_overhang)}) {
      out.put('\t');
      out.write_int(value);
    }
    out.put('\n');
  }
  out.close();
}

void write_junction_bed(const std::string& path, const std::vector<JunctionRow>& rows,
                        const ReferenceGenome& genome) {
  OutputFile out(path, OutputFile::Mode::kTruncateThroughLinks);
  char line[256];
  long number = 0;
  for (const JunctionRow& row : rows) {
    const JunctionSupport& s = row.support;
    const long long start = row.key.first - 1 - s.max_left;  // 0-based, as BED counts
    const long long end = row.key.last + s.max_right;
    const int strand = motif_strand(row.motif);
    const char strand_char = strand == 1 ? '+' : strand == 2 ? '-' : '.';
    out.write(genome.chromosomes[static_cast<std::size_t>(row.key.chromosome)].name);
    std::snprintf(line, sizeof line,
                  "\t%lld\t%lld\tJUNC%08ld\t%lld\t%c\t%lld\t%lld\t0\t2\t%lld,%lld\t0,%lld\n", start,
                  end, ++number, static_cast<long long>(s.unique_reads), strand_char, start, end,
                  static_cast<long long>(s.max_left), static_cast<long long>(s.max_right),
                  static_cast<long long>(row.key.last) - start);
    out.write(line);
  }
  out.close();
}

}  // namespace quilm::sam
