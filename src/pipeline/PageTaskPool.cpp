#include "pipeline/PageTaskPool.h"

#include <QCoreApplication>

namespace quorvane {

namespace {

QThreadPool* makePool() {
    auto* pool = new QThreadPool;
    // Work still under way when the program ends finishes while the engine's other parts exist,
    // as Qt does for its global pool.
    qAddPostRoutine([] { pageTaskPool()->waitForDone(); });
    return pool;
}

} // namespace

QThreadPool* pageTaskPool() {
    static QThreadPool* const pool = makePool();
    return pool;
}

} // namespace quorvane
