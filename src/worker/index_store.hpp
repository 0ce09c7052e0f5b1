// The seed index store: a folder of index images, one file per segment
// content, seed length, variant and masked toggle, shared by the stages of
// a run, by later runs and by several processes (also on several machines
// sharing the folder). A worker maps a stored image read-only; when there is
// none, or it does not match the segment, the worker builds the index and
// publishes it atomically (written under a temporary name, then renamed),
// while other workers asking for the same index wait for it on a lock file.
// A store that cannot be written is reported once and the index is used
// from memory.
#pragma once

#include <string>

#include "worker/index_image.hpp"
#include "worker/seed_index.hpp"
#include "worker/store_entry.hpp"

namespace quilm {

// SHA-256 of the segment's bases as loaded.
SegmentHash segment_hash(const Segment& segment);

// The same, taken from the store's memo of the segment file when the file
// has not changed since it was hashed (and recorded there when it can be).
SegmentHash remembered_segment_hash(const Segment& segment, int masked_toggle,
                                    const std::string& store, const StoreFolderTrust& folder = {});

// From now on, a bus error (a stored index cut short while mapped: the
// only files a worker maps) ends the process with one message naming the
// store folder and status 1, instead of a crash that names nothing. Set up
// once, before the first index is obtained; nothing without a store.
void report_store_faults(const std::string& store);

// The file name of an index in the store.
std::string stored_index_name(const IndexIdentity& identity);

// The index of a loaded segment: from the store folder `store`, or built
// (and stored) when missing or unusable. An empty `store` builds in memory.
// A stored image is mapped read-only, so that the processes of a machine
// share it; with `copy` it is read into memory taken from there instead,
// for a process that maps the segment alone: a private copy in reused huge
// pages is faster to look up in than a mapping faulted in page by page.
SeedIndex obtain_seed_index(const Segment& segment, int seed_length, int masked_toggle,
                            const std::string& store, ReusableMemory* copy = nullptr);
ReducedSeedIndex obtain_reduced_seed_index(const Segment& segment, int seed_length,
                                           int masked_toggle, const std::string& store,
                                           ReusableMemory* copy = nullptr);

}  // namespace quilm
