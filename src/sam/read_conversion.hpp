// The records of the dataset's reads, in dataset order: each read with a
// hit gets the records of its hits, and with --unmapped each other read an
// unmapped record. Paired reads go pair by pair (pair_records.hpp); a pair
// is written when a mate has a hit, or with --unmapped. Reads go in batches that htslib's pool
// converts while the calling thread reads on and writes the batches done, in the order given;
// without a pool one batch after the other on the calling thread. The
// records are the same either way.
#pragma once

#include <htslib/thread_pool.h>

#include "common/pair_counts.hpp"
#include "common/progress_display.hpp"
#include "sam/dataset_reader.hpp"
#include "sam/export_tables.hpp"
#include "sam/mate_pairing.hpp"
#include "sam/reference_genome.hpp"
#include "sam/rescued_alignments.hpp"
#include "sam/run_hits.hpp"
#include "sam/sam_output.hpp"
#include "sam/summary_file.hpp"
#include "sam/unmapped_fastq.hpp"

namespace quilm::sam {

struct ConversionInput {
  const RunHits& run;
  const ReferenceGenome& genome;
  bool unmapped = false;                        // a record for every read without a hit too
  std::string read_group;                       // RG:Z of every record; empty: none
  bool paired = false;                          // the reads come as pairs of mates
  std::int64_t max_insert = kDefaultMaxInsert;  // of a concordant pair
  bool keep_records = true;                     // false: only count
  bool mate_rescue = false;  // a mate without a hit is searched near its mate's hits
  int max_hits = 0;          // records per read, or concordant pairs per pair; 0: all
  // The reads without any alignment go here too (when it is enabled), in dataset order.
  UnmappedFastq* unmapped_fastq = nullptr;
  bool read_all = false;  // the dataset read to its end, for the summary's read count
  // By read number; a read's that score higher than its hits replace them.
  const std::vector<RescuedAlignment>* rescued = nullptr;
  // Counts the records as they are written, in dataset order; null: none.
  ExportTables* tables = nullptr;
  // Shown the reads passed (in the run's numbering) as their records are
  // written; null: none. Of `total_reads`, or when that is negative of the
  // total that the share of the dataset read foretells.
  ProgressDisplay* progress = nullptr;
  long total_reads = -1;
};

struct ReadCounts {
  long mapped = 0;
  long unmapped = 0;
  long renamed = 0;       // written under a name changed to be a valid QNAME
  PairCounts pairs;       // paired reads: how the pairs aligned
  SummaryCounts summary;  // by the records written
};

// Throws InputError naming the file and record for a hit that does not fit
// its read or the reference, and for a dataset that is not the run's. Of
// several errors the first in dataset order is thrown, as a plain loop over
// the reads would, however far the dataset was read ahead.
ReadCounts convert_reads(const ConversionInput& input, RunReads& dataset, SamOutput& out,
                         hts_tpool* pool);

}  // namespace quilm::sam
