// Owning handles for the htslib objects, so that every error path closes
// files and frees records.
#pragma once

#include <htslib/sam.h>

#include <memory>

namespace quilm::sam {

struct HtsFileCloser {
  void operator()(htsFile* f) const { hts_close(f); }
};
struct HeaderFreer {
  void operator()(sam_hdr_t* h) const { sam_hdr_destroy(h); }
};
struct RecordFreer {
  void operator()(bam1_t* b) const { bam_destroy1(b); }
};

using HtsFilePtr = std::unique_ptr<htsFile, HtsFileCloser>;
using HeaderPtr = std::unique_ptr<sam_hdr_t, HeaderFreer>;
using RecordPtr = std::unique_ptr<bam1_t, RecordFreer>;

// Throws std::bad_alloc when htslib cannot allocate a record.
RecordPtr make_record();

}  // namespace quilm::sam
