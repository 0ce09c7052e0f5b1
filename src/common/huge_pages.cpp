#include "common/huge_pages.hpp"

#include <sys/mman.h>

#include <cstdint>

namespace quilm {

void advise_huge(void* data, std::size_t bytes) {
#ifdef MADV_HUGEPAGE
  constexpr std::size_t kHugeThreshold = std::size_t{8} << 20;
  if (bytes < kHugeThreshold) return;
  const std::uintptr_t page = 4096;
  std::uintptr_t from = (reinterpret_cast<std::uintptr_t>(data) + page - 1) & ~(page - 1);
  std::uintptr_t to = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(page - 1);
  if (to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
#else
  (void)data;
  (void)bytes;
#endif
}

}  // namespace quilm
