// Recognitions on any thread keep OpenMP to one thread, also when the caller did not set
// OMP_THREAD_LIMIT (the OpenMP runtime reads it only as the program starts, so the test runs a
// copy of itself without it). A recognition that starts an OpenMP team costs about twice the
// processor time, spinning.

#include "platform/TesseractOCRService.h"

#include "support/RasterFixtures.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <gtest/gtest.h>

#include <thread>

using namespace quorvane;

namespace {

const char* childMarker = "QUORVANE_OPENMP_CHILD";

int threadCount() {
    return int(QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

} // namespace

// Runs only in the copy started below.
TEST(TesseractThreads, ChildRecognisesOnTwoThreads) {
    if (!qEnvironmentVariableIsSet(childMarker)) {
        GTEST_SKIP() << "runs in the copy started by RecognitionStartsNoOpenMPThreads";
    }
    const Raster page =
        test::drawTextPage({"Harbour committee minutes", "The keeper reported"}, 900, 300).raster;
    const OCROptions options = test::englishOnly();
    const TesseractOCRService ocr;
    ASSERT_FALSE(ocr.recognize(page, options).empty()); // the first engine, on this thread

    int before = 0, after = 0;
    std::thread other([&] {
        before = threadCount();
        ocr.recognize(page, options);
        after = threadCount(); // an OpenMP team stays parked until its thread ends
    });
    other.join();
    std::printf("threads before %d, after %d\n", before, after);
    EXPECT_EQ(after, before);
}

TEST(TesseractThreads, RecognitionStartsNoOpenMPThreads) {
    if (qEnvironmentVariableIsSet(childMarker)) {
        GTEST_SKIP();
    }
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("OMP_THREAD_LIMIT");
    environment.insert(childMarker, "1");
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_filter=TesseractThreads.ChildRecognisesOnTwoThreads"});
    ASSERT_TRUE(child.waitForFinished(120000));
    const QString output = QString::fromUtf8(child.readAllStandardOutput());
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
}
