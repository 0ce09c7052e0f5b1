#include "common/cram_reference.hpp"

#include <htslib/faidx.h>

#include "common/errors.hpp"

namespace quilm {

void check_cram_reference(const std::string& path, const char* option) {
  faidx_t* index = fai_load3(path.c_str(), nullptr, nullptr, FAI_CREATE);
  if (index) {
    fai_destroy(index);
    return;
  }
  throw InputError(std::string(option) + ": a CRAM output is encoded against the reference '" +
                   path +
                   "', which htslib cannot index: it needs a plain or bgzip-compressed FASTA "
                   "with lines of one length per chromosome, and its index '" +
                   path + ".fai' beside it or a folder where that can be made");
}

}  // namespace quilm
