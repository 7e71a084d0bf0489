#include "platform/HeapPolicy.h"

#include <malloc.h>

namespace quorvane::HeapPolicy {

void keepMemoryWithinPages() {
    mallopt(M_MMAP_THRESHOLD, 32 << 20); // glibc's upper limit for this setting
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
}

void trimNow() { malloc_trim(0); }

} // namespace quorvane::HeapPolicy
