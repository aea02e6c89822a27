#include "platform/process/Pages.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

void MakePagesPresent(void* start, size_t size) {
#ifdef MADV_POPULATE_WRITE
    // Whole pages: mapping a page shared with other memory leaves its bytes as they are.
    if (size == 0) return;
    const auto page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto first = reinterpret_cast<uintptr_t>(start) & ~(page - 1);
    const uintptr_t end = reinterpret_cast<uintptr_t>(start) + size;
    madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE);
#else
    (void)start;
    (void)size;
#endif
}
