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
    return writePdf(path, {scanPage(raster)}) ? path : QString();
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

// An upright, straight page is run with every switch off and with every switch on (each
// correction's code path taken, none applying), with and without cleaning; the other pages need
// corrections, with every switch on.
TEST(PageRecognitionCount, OnceForAStraightPageAndOnceMoreForEachCorrectionThatApplies) {
    const auto switches = [](bool on, PreprocessStrength preprocessing) {
        OCROptions options = englishOnly();
        options.writesTextSidecar = true;
        options.autoRotate = options.deskew = options.perspective = on;
        options.preprocessing = preprocessing;
        return options;
    };
    const OCROptions allOn = switches(true, PreprocessStrength::conservative);
    struct Case {
        const char* name;
        Raster page;
        OCROptions options;
        std::uint64_t recognitions;
        int rotated, deskewed, perspective;
        double recall;
    };
    const std::vector<Case> cases = {
        {"upright, every switch off", proseSheet(), switches(false, PreprocessStrength::off), 1, 0, 0, 0, 0.95},
        {"upright, every switch on, not cleaned", proseSheet(), switches(true, PreprocessStrength::off), 1, 0, 0, 0, 0.95},
        {"upright, every switch on, cleaned hard", proseSheet(), switches(true, PreprocessStrength::aggressive), 1, 0, 0, 0,
         0.95},
        // The first pass reads the page well, so the orientation probe does not run.
        {"tilted", tiltedPage(proseSheet(), 2), allOn, 2, 0, 1, 0, 0.95},
        // Photographed at an angle, slightly tilted, and scanned sideways: orientation detection sees
        // the turn, so no first pass; the probe's four candidates and one after each correction.
        {"photographed", turnedPage(tiltedPage(keystonedPage(proseSheet(), 0.12, 0.04), 3), 1), allOn, 4 + 3, 1, 1, 1,
         0.9},
    };
    QTemporaryDir folder;
    for (const Case& c : cases) {
        const QString source = writeSheet(folder, QString("sheet%1.pdf").arg(&c - cases.data()), c.page);
        ASSERT_FALSE(source.isEmpty());
        const PipelineRun run = process(source, c.options);
        SCOPED_TRACE(std::string(c.name) + ": " + describe(run.phase));
        ASSERT_EQ(run.phase.kind, Phase::Kind::done);
        EXPECT_EQ(run.recognitions, c.recognitions);
        EXPECT_EQ(run.phase.summary.rotatedPages, c.rotated);
        EXPECT_EQ(run.phase.summary.deskewedPages, c.deskewed);
        EXPECT_EQ(run.phase.summary.perspectiveCorrectedPages, c.perspective);
        EXPECT_GE(wordRecall(run.text, proseLines.join('\n')), c.recall) << run.text.toStdString();
    }
}
