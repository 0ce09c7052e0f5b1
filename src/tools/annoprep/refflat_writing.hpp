// The exon table "refFlat.txt" and its per-chromosome summary "refFlat_info".
#pragma once

#include "common/annotation_reading.hpp"
#include "common/output_file.hpp"
#include "tools/annoprep/transcript_table.hpp"

namespace quilm::annoprep {

// Fills the table from the chromosome's GTF exon lines and writes one
// refFlat line per transcript (exons in file order) and the summary line.
void transcriptinfo_stack(const ChromosomeExons& exons, TranscriptTable& table, OutputFile& refflat,
                          OutputFile& refflat_info);

// The same for GFF exon lines: '-' transcripts list their exons last line
// first, transcripts with any other strand than '+' or '-' list none.
void gffinfo_stack(const ChromosomeExons& exons, TranscriptTable& table, OutputFile& refflat,
                   OutputFile& refflat_info);

}  // namespace quilm::annoprep
