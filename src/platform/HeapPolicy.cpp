#include "platform/HeapPolicy.h"

#include <malloc.h>

namespace quorvane::HeapPolicy {

void keepMemoryWithinPages() {
    mallopt(M_MMAP_THRESHOLD, 32 << 20); // glibc's upper limit for this setting
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
}

// Measured on linn.pdf pages, en-US, corrections off: trimming everything after each page cost
// 3% of the time (the next page faulted it all in again), keeping everything raised the peak of
// 6 pages from 125 to 185 MiB; keeping at most keptFreeBytes peaked at 129 MiB, as fast as
// keeping everything.
void trimExcess() {
    if (mallinfo2().fordblks > keptFreeBytes) {
        malloc_trim(0);
    }
}

} // namespace quorvane::HeapPolicy
