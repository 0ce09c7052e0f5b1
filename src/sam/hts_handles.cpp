#include "sam/hts_handles.hpp"

#include <new>

namespace quilm::sam {

RecordPtr make_record() {
  RecordPtr b(bam_init1());
  if (!b) throw std::bad_alloc();
  return b;
}

}  // namespace quilm::sam
