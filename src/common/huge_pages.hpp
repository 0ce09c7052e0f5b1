// Large buffers and tables: touching fresh memory page by page is slow (a
// page fault per 4 KiB), so they ask for transparent huge pages before they
// are first written.
#pragma once

#include <cstddef>

namespace quilm {

// Advises the whole pages of a region of at least 8 MiB for huge pages;
// smaller regions and systems without the advice are left as they are.
void advise_huge(void* data, std::size_t bytes);

}  // namespace quilm
