// The files through which the programs of a run talk to one another: every
// work-file name and name pattern, with the program that writes it and the
// ones that read it. No other file spells these names.
//
// Unless said otherwise a file lies in the work folder (-W). "driver" means
// quilm2 and quilm2splice; "export" means quilm2sam (and a driver's --bam).
#pragma once

#include <cstddef>

namespace quilm {

// --- The run's settings ---------------------------------------------------

// The run's parameters, in the current directory. Written by the driver;
// read by the workers (quilm_x, junctor, quilm_rescue) and the export.
inline constexpr const char* kConfigFile = "config.txt";

// The MPI launcher to start the workers with, in the current directory.
// Written by the user; read by the driver.
inline constexpr const char* kLauncherFile = "mpipathway.txt";

// The lock a run holds on its work folder. Written and removed by the driver.
inline constexpr const char* kWorkFolderLockFile = "run.lock";

// Where the seed index store lies (one line; empty: no store). Written by the
// driver; read by the workers.
inline constexpr const char* kIndexStoreFile = "index_store.txt";

// --- The reference, cut into segments -------------------------------------

// "<k>.txt": the bases of segment k. Written by the driver's preparation;
// read by the workers.
inline constexpr const char* kSegmentSuffix = ".txt";

// The segment offsets on the chromosomes. Written by the preparation; read by
// the driver (merges) and quilm_rescue.
inline constexpr const char* kSegmentIndexFile = "fast_index.txt";

// The work size of every segment. Written by the preparation; read by the
// driver (task assignment, memory check).
inline constexpr const char* kSegmentSizeFile = "task.txt";

// What the last cutting of the reference found and wrote: the reference's
// stamp and summary, how it was cut, and the stamps of the segment files,
// the segment index and the work sizes. Written and read by the driver's
// preparation, which reads the reference again only when one of them changed.
inline constexpr const char* kReferenceMemoFile = "reference_memo.txt";

// Which process maps which segments. Written by the driver; read by the
// workers.
inline constexpr const char* kTaskFile = "taskmpi.txt";

// How the processes of one segment share out its reads. Written by the
// driver; read by the workers.
inline constexpr const char* kSharePlanFile = "sliceplan.txt";

// --- Reads ------------------------------------------------------------------

// Every read of the dataset, numbered. Written by the preparation; read by
// quilm_x (seed 14) and the driver (splice and rescue read choice).
inline constexpr const char* kReadFile = "0.fastq";

// "<seed>.fastq": the reads left for the next seed length after a cycle.
// Written by the driver; read by quilm_x.
inline constexpr const char* kCycleReadSuffix = ".fastq";

// The reads left to the splice stage. Written by the driver; read by junctor.
inline constexpr const char* kSpliceReadFile = "splice0.fastq";

// The reads to rescue. Written by the driver; read by quilm_rescue.
inline constexpr const char* kRescueReadFile = "rescue0.fastq";

// --- Results ----------------------------------------------------------------

// "<k>.r": one worker stage's hits on segment k. Written by quilm_x, junctor
// or quilm_rescue; read by the driver.
inline constexpr const char* kResultSuffix = ".r";

// "<k>.r.part<slice>": one process's share of "<k>.r" when several share a
// segment's reads. Written by the workers; joined by the driver.
inline constexpr const char* kResultPartSuffix = ".r.part";

// "progress_<process>.txt" (and its temporary "<name>.tmp"): a worker's reads
// done so far. Written by the workers; read by the driver.
inline constexpr const char* kProgressPrefix = "progress_";
inline constexpr const char* kProgressSuffix = ".txt";

// The best hits of the seed cycles, in chromosome coordinates. Written by the
// driver; read by the driver (splice and rescue read choice, final merge).
inline constexpr const char* kMappedHitFile = "quilm2.tmp";

// The merged split-read hits of the splice stage. Written by the driver; read
// by the driver (rescue read choice, final merge).
inline constexpr const char* kSplicedHitFile = "splice.tmp";

// The pairs' concordant hits. Written by the driver; read by the export.
inline constexpr const char* kPairFile = "pairs.txt";

// The known junctions handed to the rescue stage. Written by the driver;
// read by quilm_rescue.
inline constexpr const char* kRescueJunctionFile = "rescue_junctions.txt";

// The one best hit of each read to rescue that has one. Written by the
// driver; read by quilm_rescue.
inline constexpr const char* kRescueHintFile = "rescue_hints.txt";

// The six output files of a splice run, "<output base><suffix>": the
// contiguous hits (high quality, low quality, multi-hits), then the split
// ones in the same order. Written by the splice driver's final merge (the
// mapping driver writes its merged hits to <output> itself); read by the
// export and by the run's own cleanup.
inline constexpr const char* kOutputSuffixes[] = {"-quilm2high",  "-quilm2low",  "-quilm2mutil",
                                                  "-splice-high", "-splice-low", "-splice-mutil"};
inline constexpr std::size_t kMappedOutputs = 3;  // the first three hold contiguous hits

}  // namespace quilm
