// The export of a finished run to BAM, SAM or CRAM (--bam=<file>). The
// driver runs quilm2sam, which lies beside it, as the two-command way would:
//   quilm2sam -R<reference> -D<dataset> -O<output> -o <file> --sort --unmapped
// with the read group, and the driver's command line for the @PG line of the
// run. The six output files (or the quilm2 output) are in place before it
// starts, and config.txt and stdout stay as they are without the export.
#pragma once

#include <string>
#include <vector>

#include "common/run_config.hpp"
#include "pipeline/options.hpp"
#include "pipeline/run_guard.hpp"
#include "pipeline/run_report.hpp"

namespace quilm {

// Refuses, before the mapping starts, an export that cannot be written: a
// folder that does not exist or cannot be written, a name of one of the
// run's own files, a dataset that can be read only once (the export reads it
// again), a CRAM whose reference htslib cannot index, no quilm2sam beside
// the driver. Throws UsageError or IoError naming --bam and the file.
void check_bam_export(const DriverOptions& options);

// With --mates and without --bam, the driver still runs quilm2sam to pair
// the mates, writing no records, for the pairs of its closing summary. True
// when it will; checks that quilm2sam is there. False without mates, and
// with a warning when an input is a pipe, which cannot be read again.
bool check_pair_counting(const char* program, const DriverOptions& options);

// Where quilm2sam leaves the pair counts for the driver: "<work>/pairs.txt".
std::string pair_counts_path(const RunConfig& config);

// quilm2sam's arguments after its name, for the run that `config` describes.
std::vector<std::string> export_arguments(const BamExport& bam, const RunConfig& config);

// Runs quilm2sam and waits for it; a stop of the run stops it and removes
// its unfinished files. Throws LaunchError when it fails; what the run wrote
// stays.
void run_bam_export(const BamExport& bam, const RunConfig& config, RunGuard* guard,
                    const RunReport& report);

// Runs quilm2sam to pair the mates and count the pairs, writing no records.
void run_pair_count(const BamExport& bam, const RunConfig& config, RunGuard* guard,
                    const RunReport& report);

}  // namespace quilm
