// The closing summary of an export in the layout QC tools read for other
// aligners ("N reads; of these:" ... "P% overall alignment rate"): how the
// reads, or the pairs and their mates, are aligned in the records written.
#pragma once

#include <string>

namespace quilm::sam {

// Counted by the records written: a read (or a mate) with one record is
// aligned once, with several more than once; a pair by its concordant
// pairs taken. The reads without a record are the rest of `reads`.
struct SummaryCounts {
  bool paired = false;
  long reads = 0;  // single reads, or pairs
  long once = 0;   // single reads with one record
  long more = 0;   // single reads with several
  long concordant_once = 0;
  long concordant_more = 0;
  long discordant_once = 0;  // no concordant pair, each mate with one record
  long mates_once = 0;       // of the other pairs' mates, those with one record
  long mates_more = 0;       // with several
};

// A single read with `records` records (0: unmapped).
void count_single(SummaryCounts& counts, int records);

// A pair: `concordant` concordant pairs written (0: none), else each mate's records.
void count_pair(SummaryCounts& counts, int concordant, int mate1_records, int mate2_records);

// Adds the figures of `part` to `total`.
void add_counts(SummaryCounts& total, const SummaryCounts& part);

// The summary text, each line ending in a line feed; the last is the
// overall alignment rate (of the mates, for pairs).
std::string summary_text(const SummaryCounts& counts);

}  // namespace quilm::sam
