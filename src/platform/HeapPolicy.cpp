#include "platform/HeapPolicy.h"

#include <algorithm>
#include <malloc.h>
#include <sched.h>

namespace quorvane::HeapPolicy {

// glibc gives threads up to eight heaps per core; bitmaps freed into many of them left a
// 200-page document's peak 52 MiB over a 20-page one's, in steps at random moments. One heap
// per core that may run a page: 16 MiB over, and no slower (bench/memory-bench --defaults).
void keepMemoryWithinPages() {
    mallopt(M_MMAP_THRESHOLD, 32 << 20); // glibc's upper limit for this setting
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
    cpu_set_t cores;
    CPU_ZERO(&cores);
    if (sched_getaffinity(0, sizeof cores, &cores) == 0) {
        mallopt(M_ARENA_MAX, std::max(2, CPU_COUNT(&cores)));
    }
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
