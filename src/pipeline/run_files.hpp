// The files a driver run reads and the files it writes, compared before any
// work: no output of the run, and no file it writes in the work folder, may
// be one of its inputs.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/file_identity.hpp"
#include "pipeline/options.hpp"

namespace quilm {

// The names the run writes in the work folder, whatever the number of
// segments, cycles and processes: "<n>.txt", "<n>.fastq", "<n>.r",
// "<n>.r.part<k>", "progress_<k>.txt" and the fixed names ("0.fastq", "splice0.fastq",
// "fast_index.txt", "task.txt", "quilm2.tmp", ...).
bool is_work_file_name(std::string_view name);

// The names the workers write in the index store: stored indexes and their
// memos.
bool is_index_store_file_name(std::string_view name);

// -R, -D, --mates and --junctions, as given.
std::vector<NamedFile> driver_inputs(const DriverOptions& options);

// The output files of -O: the six files of the splice driver (and
// "<-O>-rescue" with --rescue), or the file of the mapping-only driver and
// its ".config".
std::vector<std::string> output_paths(DriverKind kind, const DriverOptions& options);

// The export's index, or the stale one it removes: "<--bam>.bai", "<--bam>.crai".
std::vector<std::string> export_index_paths(const std::string& export_path);

// The output files of -O, --bam and its index, and the run log config.txt
// in the current directory.
std::vector<NamedFile> driver_outputs(DriverKind kind, const DriverOptions& options);

// Throws UsageError naming both files when an output of the run, or a file
// it writes in the work folder or the index store, is one of its inputs: by
// identity, and for an input whose own name is a work file name inside the
// work folder (it would be written over later even if it is a pipe).
void refuse_inputs_the_run_writes(DriverKind kind, const DriverOptions& options);

}  // namespace quilm
