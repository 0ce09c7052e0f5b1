// The tables an export can write beside its records: the junction table and
// its BED, and the reads per gene. Both are counted from the records as
// the export writes them (after the rescue and the pairing).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "sam/gene_counts.hpp"
#include "sam/junction_table.hpp"
#include "sam/reference_genome.hpp"
#include "sam/sam_options.hpp"

namespace quilm::sam {

struct ExportTables {
  // Reads the annotation of the options when a table needs it; throws
  // InputError naming it when it gives nothing to count with.
  ExportTables(const SamOptions& options, const ReferenceGenome& genome, bool paired);
  ExportTables(const ExportTables&) = delete;
  ExportTables& operator=(const ExportTables&) = delete;

  bool junctions_wanted = false;
  JunctionCounts junctions;
  KnownIntrons known;
  std::unique_ptr<GeneModel> genes;  // with --gene-counts
  std::optional<GeneCounter> gene_counter;
};

// True when the options ask for any table.
bool tables_wanted(const SamOptions& options);

// Counts the stored records (stored_records.hpp), in the export's order.
void tally_records(ExportTables& tables, const std::vector<std::uint8_t>& records);

// Writes the tables asked for; `total` is the reads of the dataset (the
// pairs, for paired reads).
void write_export_tables(const SamOptions& options, ExportTables& tables,
                         const ReferenceGenome& genome, std::int64_t total);

}  // namespace quilm::sam
