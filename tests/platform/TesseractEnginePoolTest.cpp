#include "platform/TesseractEnginePool.h"

#include <gtest/gtest.h>
#include <tesseract/baseapi.h>

#include <dlfcn.h>
#include <thread>

using namespace quorvane;

namespace {

// OpenMP's limit on nested parallel regions as the calling thread sees it; -1 without OpenMP.
int maxActiveLevelsHere() {
    using GetMaxActiveLevels = int (*)();
    const auto get = reinterpret_cast<GetMaxActiveLevels>(dlsym(RTLD_DEFAULT, "omp_get_max_active_levels"));
    return get ? get() : -1;
}

} // namespace

// Tesseract's OpenMP parallelism makes recognition several times slower; the limit is a setting
// of each thread, so every thread that borrows an engine must have it, not only the first.
TEST(TesseractEnginePool, everyBorrowingThreadRunsTesseractWithoutOpenMPParallelism) {
    if (maxActiveLevelsHere() < 0) {
        GTEST_SKIP() << "Tesseract is built without OpenMP here";
    }
    const TesseractEngineKey key{"eng", false, {}};
    { auto warm = TesseractEnginePool::shared().borrow(key); } // the first engine: made on this thread

    for (int thread = 0; thread < 2; ++thread) {
        int levels = -1;
        std::thread([&] {
            auto lease = TesseractEnginePool::shared().borrow(key);
            levels = maxActiveLevelsHere();
        }).join();
        EXPECT_EQ(levels, 0) << "thread " << thread;
    }
    EXPECT_EQ(maxActiveLevelsHere(), 0);
}
