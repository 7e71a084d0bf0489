#include "pipeline/PageTaskPool.h"

#include <QCoreApplication>
#include <QThread>

#include <algorithm>
#include <sched.h>

namespace quorvane {

namespace {

QThreadPool* makePool(int threads) {
    auto* pool = new QThreadPool;
    pool->setMaxThreadCount(threads);
    return pool;
}

void waitForBothPools() {
    pageTaskPool()->waitForDone();
    documentTaskPool()->waitForDone();
}

} // namespace

int availableCores() {
    // Not QThread::idealThreadCount: it counts the machine's cores, and a process confined to a
    // few of them (taskset, a container's cpuset) would run more recognitions than it has cores.
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) {
        return std::max(1, CPU_COUNT(&set));
    }
    return std::max(1, QThread::idealThreadCount());
}

QThreadPool* pageTaskPool() {
    static QThreadPool* const pool = [] {
        // Work still under way when the program ends finishes while the engine's other parts
        // exist, as Qt does for its global pool.
        qAddPostRoutine(&waitForBothPools);
        return makePool(availableCores());
    }();
    return pool;
}

QThreadPool* documentTaskPool() {
    // Two documents run at once in a batch, and the window's own document beside them. Made
    // after the page pool, whose end-of-program routine waits for both: a run refused before
    // any page would otherwise still be at work while the program is taken down.
    static QThreadPool* const pool = (pageTaskPool(), makePool(4));
    return pool;
}

int pageThreadCount() { return pageTaskPool()->maxThreadCount(); }

void setPageThreadCount(int count) { pageTaskPool()->setMaxThreadCount(std::max(1, count)); }

} // namespace quorvane
