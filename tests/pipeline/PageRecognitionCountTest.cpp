// How often the pipeline recognises a page, counted with the engine pool's process-wide
// recognition counter around whole runs of a real OCRPipeline in a real event loop. An upright,
// straight page is recognised once whatever the switches; every correction that changes the
// image adds one recognition, and the orientation probe adds its four candidates (each counted
// like a page recognition, at the fast level on the downscaled page) when the first pass does not
// read the page well.

#include "pipeline/OCRPipeline.h"
#include "platform/TesseractEnginePool.h"

#include "support/EventLoop.h"
#include "support/PdfBuilder.h"
#include "support/RasterFixtures.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace quorvane;
using namespace quorvane::test;
using namespace std::chrono_literals;

namespace {

// A one-page PDF showing the raster at 300 DPI.
QString writeSheet(const QTemporaryDir& folder, const QString& name, const Raster& raster) {
    const QString path = folder.filePath(name);
    const bool written = writePdf(
        path, {{.mediaBox = {0, 0, raster.cols * 72.0 / 300, raster.rows * 72.0 / 300}, .image = imageFromRaster(raster)}});
    return written ? path : QString();
}

OCROptions withSidecar() {
    OCROptions options = englishOnly();
    options.writesTextSidecar = true;
    return options;
}

struct PipelineRun {
    Phase phase;
    std::uint64_t recognitions = 0;
    QString text; // the sidecar
};

PipelineRun process(const QString& source, const OCROptions& options) {
    const QString output = QString(source).replace(QStringLiteral(".pdf"), QStringLiteral("_out.pdf"));
    OCRPipeline pipeline;
    const auto before = TesseractEnginePool::recognitionCount();
    pipeline.process(source, output, options);
    const bool finished = runUntil([&] { return !pipeline.isRunning(); }, 300s);
    PipelineRun run{pipeline.phase(), TesseractEnginePool::recognitionCount() - before,
                    readTextFile(QString(output).replace(QStringLiteral(".pdf"), QStringLiteral(".txt")))};
    if (!finished) {
        run.phase = Phase::failed(QStringLiteral("the run did not finish"));
    }
    QFile::remove(output);
    return run;
}

std::string describe(const Phase& phase) {
    const auto& s = phase.summary;
    return QStringLiteral("phase %1 %2, rotated %3, deskewed %4, perspective %5")
        .arg(int(phase.kind))
        .arg(phase.message)
        .arg(s.rotatedPages)
        .arg(s.deskewedPages)
        .arg(s.perspectiveCorrectedPages)
        .toStdString();
}

} // namespace

TEST(PageRecognitionCount, AnUprightStraightPageIsRecognisedOnceWhateverTheSwitches) {
    QTemporaryDir folder;
    const QString source = writeSheet(folder, "upright.pdf", proseSheet());
    ASSERT_FALSE(source.isEmpty());
    for (int switches = 0; switches < 8; ++switches) {
        OCROptions options = withSidecar();
        options.autoRotate = (switches & 1) != 0;
        options.deskew = (switches & 2) != 0;
        options.perspective = (switches & 4) != 0;
        options.preprocessing = allPreprocessStrengths[switches % 4];
        const PipelineRun run = process(source, options);
        const std::string context = "switches " + std::to_string(switches) + ", " + describe(run.phase);
        ASSERT_EQ(run.phase.kind, Phase::Kind::done) << context;
        EXPECT_EQ(run.recognitions, 1u) << context;
        EXPECT_EQ(run.phase.summary.rotatedPages + run.phase.summary.deskewedPages +
                      run.phase.summary.perspectiveCorrectedPages,
                  0)
            << context;
        EXPECT_GE(wordRecall(run.text, proseLines.join('\n')), 0.95) << context;
    }
}

TEST(PageRecognitionCount, ATiltedPageIsRecognisedAgainOnlyForTheDeskew) {
    QTemporaryDir folder;
    const QString source = writeSheet(folder, "tilted.pdf", tiltedPage(proseSheet(), 2));
    const PipelineRun run = process(source, withSidecar());
    ASSERT_EQ(run.phase.kind, Phase::Kind::done) << describe(run.phase);
    // The first pass reads the page well, so the probe does not run.
    EXPECT_EQ(run.recognitions, 2u) << describe(run.phase);
    EXPECT_EQ(run.phase.summary.deskewedPages, 1);
    EXPECT_EQ(run.phase.summary.rotatedPages, 0);
    EXPECT_EQ(run.phase.summary.perspectiveCorrectedPages, 0);
    EXPECT_GE(wordRecall(run.text, proseLines.join('\n')), 0.95);
}

TEST(PageRecognitionCount, EachCorrectionThatAppliesAddsOneRecognition) {
    // Photographed at an angle, slightly tilted, and scanned sideways.
    QTemporaryDir folder;
    const Raster page = turnedPage(tiltedPage(keystonedPage(proseSheet(), 0.12, 0.04), 3), 1);
    const QString source = writeSheet(folder, "photographed.pdf", page);
    const PipelineRun run = process(source, withSidecar());
    ASSERT_EQ(run.phase.kind, Phase::Kind::done) << describe(run.phase);
    EXPECT_EQ(run.phase.summary.rotatedPages, 1) << describe(run.phase);
    EXPECT_EQ(run.phase.summary.deskewedPages, 1) << describe(run.phase);
    EXPECT_EQ(run.phase.summary.perspectiveCorrectedPages, 1) << describe(run.phase);
    // Orientation detection sees the turn, so no first pass: the probe's four candidates and one
    // after each of the three corrections.
    EXPECT_EQ(run.recognitions, 4u + 3u);
    EXPECT_GE(wordRecall(run.text, proseLines.join('\n')), 0.9) << run.text.toStdString();
}
