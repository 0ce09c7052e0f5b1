#include "tools/annoprep/refflat_writing.hpp"

namespace quilm::annoprep {

namespace {

enum class ExonOrder { kFileOrder, kGffStrand };

void write_exon(OutputFile& out, const Exon& exon) {
  out.write_int(exon.start);
  out.put(',');
  out.write_int(exon.end);
  out.put('\t');
}

// "chromosome\tid\tstrand\tcount\t" then "start,end\t" per exon and a line feed.
void write_refflat_line(OutputFile& out, const TranscriptTable& table, const TranscriptEntry& entry,
                        ExonOrder order) {
  out.write(table.chromosome);
  out.put('\t');
  out.write(entry.id);
  out.put('\t');
  out.put(entry.strand);
  out.put('\t');
  out.write_int(entry.exon_count);
  out.put('\t');
  const Exon* exons = table.exons.data() + entry.first_exon;
  bool reversed = order == ExonOrder::kGffStrand && entry.strand == '-';
  bool listed = order == ExonOrder::kFileOrder || entry.strand == '+' || reversed;
  if (listed) {
    for (long k = 0; k < entry.exon_count; ++k)
      write_exon(out, exons[reversed ? entry.exon_count - 1 - k : k]);
  }
  out.put('\n');
}

void write_tables(TranscriptTable& table, OutputFile& refflat, OutputFile& refflat_info,
                  ExonOrder order) {
  long exon_total = 0;
  for (const TranscriptEntry& entry : table.entries) {
    write_refflat_line(refflat, table, entry, order);
    exon_total += entry.exon_count;
  }
  refflat_info.write(table.chromosome);
  refflat_info.put('\t');
  refflat_info.write_int(static_cast<long long>(table.entries.size()));
  refflat_info.put('\t');
  refflat_info.write_int(exon_total);
  refflat_info.put('\n');
}

}  // namespace

void transcriptinfo_stack(const ChromosomeExons& exons, TranscriptTable& table, OutputFile& refflat,
                          OutputFile& refflat_info) {
  fill_exons(exons, table);
  write_tables(table, refflat, refflat_info, ExonOrder::kFileOrder);
}

void gffinfo_stack(const ChromosomeExons& exons, TranscriptTable& table, OutputFile& refflat,
                   OutputFile& refflat_info) {
  fill_exons(exons, table);
  write_tables(table, refflat, refflat_info, ExonOrder::kGffStrand);
}

}  // namespace quilm::annoprep
