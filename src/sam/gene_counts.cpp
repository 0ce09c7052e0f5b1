#include "sam/gene_counts.hpp"

#include <algorithm>
#include <utility>

#include "common/output_file.hpp"

namespace quilm::sam {

GeneModel make_gene_model(const AnnotationGenes& annotation, const ReferenceGenome& genome) {
  GeneModel model;
  model.genes = annotation.ids;
  model.exons.resize(genome.chromosomes.size());
  for (const GeneExonLine& line : annotation.exons) {
    const int chromosome = find_chromosome(genome, annotation.chromosomes[line.chromosome]);
    if (chromosome < 0) continue;
    model.exons[static_cast<std::size_t>(chromosome)].push_back(
        {line.start, line.end, line.gene, line.strand});
  }
  for (std::vector<GeneExon>& exons : model.exons) {
    std::stable_sort(exons.begin(), exons.end(),
                     [](const GeneExon& x, const GeneExon& y) { return x.start < y.start; });
    std::vector<std::int64_t>& ends = model.ends_before.emplace_back();
    std::int64_t largest = 0;
    for (const GeneExon& exon : exons) ends.push_back(largest = std::max(largest, exon.end));
  }
  return model;
}

namespace {

std::int64_t hit_count(const bam1_t* record) {
  const std::uint8_t* nh = bam_aux_get(record, "NH");
  return nh ? bam_aux2i(nh) : 1;
}

// Whether an exon's strand lets a read of strand `read` (+ or -) count for
// it under a stranding: 0 any, 1 the same strand, 2 the other one. An exon
// without a strand takes reads of either.
bool strand_fits(char exon, char read, int stranding) {
  if (stranding == 0 || exon == '.') return true;
  return (exon == read) == (stranding == 1);
}

}  // namespace

GeneCounter::GeneCounter(const GeneModel& model, bool paired) : model_(model), paired_(paired) {
  for (auto& genes : counts_.per_gene) genes.assign(model.genes.size(), 0);
}

bool GeneCounter::starts_read(const bam1_t* record) const {
  if (record->core.flag & (BAM_FSECONDARY | BAM_FSUPPLEMENTARY)) return false;
  if (!paired_ || !open_ || (record->core.flag & BAM_FREAD1)) return true;
  // Mate 2's primary record joins mate 1's, unless mate 1 was not written.
  return has_second_ || name_ != bam_get_qname(record);
}

void GeneCounter::add(const bam1_t* record) {
  if (starts_read(record)) {
    close_read();
    open_ = true;
    name_ = bam_get_qname(record);
  }
  const std::uint16_t flag = record->core.flag;
  if (!(flag & (BAM_FSECONDARY | BAM_FSUPPLEMENTARY)) && (flag & BAM_FREAD2)) has_second_ = true;
  if (flag & BAM_FUNMAP) return;
  if (hit_count(record) > 1) {
    multi_ = true;
    return;
  }
  const bool mate2 = paired_ && (flag & BAM_FREAD2);
  if (strand_from_ == 0 || (strand_from_ == 2 && !mate2)) {
    // The fragment's strand is mate 1's, or the reverse of mate 2's.
    reverse_ = ((flag & BAM_FREVERSE) != 0) != mate2;
    strand_from_ = mate2 ? 2 : 1;
  }
  const std::uint32_t* cigar = bam_get_cigar(record);
  std::int64_t position = record->core.pos + 1;
  std::int64_t block_start = position;
  for (std::uint32_t k = 0; k < record->core.n_cigar; ++k) {
    const int op = bam_cigar_op(cigar[k]);
    const std::int64_t length = bam_cigar_oplen(cigar[k]);
    if (op == BAM_CMATCH || op == BAM_CEQUAL || op == BAM_CDIFF) {
      position += length;
      continue;
    }
    if (op != BAM_CDEL && op != BAM_CREF_SKIP) continue;
    if (position > block_start)
      blocks_.push_back({record->core.tid, block_start, position - 1, mate2 ? 1 : 0});
    position += length;
    block_start = position;
  }
  if (position > block_start)
    blocks_.push_back({record->core.tid, block_start, position - 1, mate2 ? 1 : 0});
}

void GeneCounter::close_read() {
  if (!open_) return;
  if (multi_) {
    ++counts_.multimapping;
    ++counts_.mapped;
  } else if (!blocks_.empty()) {
    assign();
    ++counts_.mapped;
  }
  open_ = multi_ = has_second_ = false;
  strand_from_ = 0;
  blocks_.clear();
}

namespace {

void sort_unique(std::vector<std::uint32_t>& genes) {
  std::sort(genes.begin(), genes.end());
  genes.erase(std::unique(genes.begin(), genes.end()), genes.end());
}

// The gene met by the most mates (each mate's genes counted once), or
// none of two or more tie: then `genes` holds more than one.
void keep_most_voted(std::vector<std::uint32_t>& genes) {
  std::sort(genes.begin(), genes.end());
  std::size_t best = 0;
  std::vector<std::uint32_t> winners;
  for (std::size_t k = 0; k < genes.size();) {
    std::size_t run = k;
    while (run < genes.size() && genes[run] == genes[k]) ++run;
    if (run - k > best) winners.clear();
    if (run - k >= best) {
      best = run - k;
      winners.push_back(genes[k]);
    }
    k = run;
  }
  genes = std::move(winners);
}

}  // namespace

void GeneCounter::assign() {
  const char read_strand = reverse_ ? '-' : '+';
  for (int stranding = 0; stranding < kStrandings; ++stranding) {
    genes_.clear();
    for (int mate = 0; mate < 2; ++mate) {
      mate_genes_.clear();
      for (const Block& block : blocks_)
        if (block.mate == mate) add_overlapped_genes(block, read_strand, stranding);
      sort_unique(mate_genes_);
      genes_.insert(genes_.end(), mate_genes_.begin(), mate_genes_.end());
    }
    keep_most_voted(genes_);
    if (genes_.empty())
      ++counts_.no_feature[stranding];
    else if (genes_.size() > 1)
      ++counts_.ambiguous[stranding];
    else
      ++counts_.per_gene[stranding][genes_[0]];
  }
}

void GeneCounter::add_overlapped_genes(const Block& block, char read_strand, int stranding) {
  const auto c = static_cast<std::size_t>(block.chromosome);
  const std::vector<GeneExon>& exons = model_.exons[c];
  const std::vector<std::int64_t>& ends = model_.ends_before[c];
  auto k = std::upper_bound(exons.begin(), exons.end(), block.end,
                            [](std::int64_t end, const GeneExon& e) { return end < e.start; }) -
           exons.begin();
  // Every exon before k starts at or before the block's end; going back
  // stops where no earlier exon reaches the block's start.
  while (k > 0 && ends[static_cast<std::size_t>(k - 1)] >= block.start) {
    const GeneExon& exon = exons[static_cast<std::size_t>(--k)];
    if (exon.end >= block.start && strand_fits(exon.strand, read_strand, stranding))
      mate_genes_.push_back(exon.gene);
  }
}

GeneCounts GeneCounter::finish() {
  close_read();
  return counts_;
}

namespace {

void write_row(OutputFile& out, const std::string& name, const std::int64_t (&values)[3]) {
  out.write(name);
  for (const std::int64_t value : values) {
    out.put('\t');
    out.write_int(value);
  }
  out.put('\n');
}

}  // namespace

void write_gene_counts(const std::string& path, const GeneModel& model, const GeneCounts& counts,
                       std::int64_t total) {
  OutputFile out(path, OutputFile::Mode::kTruncateThroughLinks);
  const std::int64_t unmapped = total - counts.mapped;
  write_row(out, "N_unmapped", {unmapped, unmapped, unmapped});
  const std::int64_t multi = counts.multimapping;
  write_row(out, "N_multimapping", {multi, multi, multi});
  write_row(out, "N_noFeature", {counts.no_feature[0], counts.no_feature[1], counts.no_feature[2]});
  write_row(out, "N_ambiguous", {counts.ambiguous[0], counts.ambiguous[1], counts.ambiguous[2]});
  for (std::size_t g = 0; g < model.genes.size(); ++g)
    write_row(out, model.genes[g],
              {counts.per_gene[0][g], counts.per_gene[1][g], counts.per_gene[2][g]});
  out.close();
}

}  // namespace quilm::sam
