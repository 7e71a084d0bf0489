#include "platform/ProcessStart.h"

#include "platform/HeapPolicy.h"
#include "platform/TesseractEnginePool.h"

namespace quorvane::ProcessStart {

void beforeAnyThread() {
    HeapPolicy::keepMemoryWithinPages();
    TesseractEnginePool::limitOpenMPThreads();
}

} // namespace quorvane::ProcessStart
