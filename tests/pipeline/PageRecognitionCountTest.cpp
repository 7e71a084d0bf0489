// How often the pipeline recognises a page, counted by a scripted recognizer around whole runs of
// a real OCRPipeline in a real event loop. An upright, straight page is recognised once whatever
// the switches; every correction that changes the image adds one recognition, and the orientation
// probe adds its four candidates when the first pass does not read the page well or orientation
// detection says the page is turned.

#include "pipeline/OCRPipeline.h"
#include "support/EventLoop.h"
#include "support/PdfBuilder.h"
#include "support/ScriptedRecognizer.h"
#include "support/TestSupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>

using namespace quorvane;
using namespace quorvane::test;
using Request = ScriptedRecognizer::Request;

namespace {

// Twelve lines of forty characters, read well: enough for the first pass to be trusted.
std::vector<OCRLine> prose(double angle = 0, double upperHalfAngle = 0) {
    QStringList texts;
    for (int i = 0; i < 12; ++i) {
        texts << QString("A line of prose long enough to be read %1").arg(i, 2);
    }
    auto lines = linesReading(texts, 0.95f);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        lines[i].angle = angle + (i < lines.size() / 2 ? upperHalfAngle : 0);
    }
    return lines;
}

constexpr double tilt = 0.035;     // two degrees
constexpr double keystone = 0.02; // upper lines slope more than lower ones: a photographed page

// The page's accurate recognitions in turn: the first answers `first`, later ones `later`, the
// last of them any more. Turned probe candidates (landscape at the fast level) read well, upright
// ones read nothing.
struct Script {
    std::vector<std::vector<OCRLine>> accurate;
    std::shared_ptr<std::atomic<int>> calls = std::make_shared<std::atomic<int>>(0);

    std::vector<OCRLine> operator()(const Request& request) const {
        if (request.level == OCRRecognitionLevel::fast) {
            return request.width > request.height ? prose() : std::vector<OCRLine>{};
        }
        const auto call = std::size_t(calls->fetch_add(1));
        return accurate[std::min(call, accurate.size() - 1)];
    }
};

} // namespace

TEST(PageRecognitionCount, OnceForAStraightPageAndOnceMoreForEachCorrectionThatApplies) {
    const auto switches = [](bool on) {
        OCROptions options = recognitionOnly();
        options.autoRotate = options.deskew = options.perspective = on;
        return options;
    };
    struct Case {
        const char* name;
        Script script;
        int orientation; // what orientation detection reports
        OCROptions options;
        int recognitions, rotated, deskewed, perspective;
    };
    const std::vector<Case> cases = {
        {"upright, every switch off", {{prose()}}, 0, switches(false), 1, 0, 0, 0},
        // The first pass reads the page well, so the orientation probe does not run.
        {"upright, every switch on", {{prose()}}, 0, switches(true), 1, 0, 0, 0},
        {"tilted", {{prose(tilt), prose()}}, 0, switches(true), 2, 0, 1, 0},
        // Photographed at an angle, slightly tilted, and scanned sideways: orientation detection sees
        // the turn, so no first pass; the probe's four candidates, the turned page read beside them,
        // and one recognition after each correction.
        {"photographed", {{prose(tilt), prose(0, keystone), prose()}}, 1, switches(true), 4 + 3, 1, 1, 1},
    };
    QTemporaryDir folder;
    const QString source = folder.filePath("sheet.pdf");
    ASSERT_TRUE(writePdf(source, {numberedPage(1)}));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto recognizer =
            std::make_shared<ScriptedRecognizer>(c.script, [&c](const Request&) { return c.orientation; });
        OCRPipeline pipeline(recognizer);
        pipeline.process(source, folder.filePath("sheet_searchable.pdf"), c.options);
        ASSERT_TRUE(runUntil([&] { return !pipeline.isRunning(); }, std::chrono::seconds(60)));
        ASSERT_EQ(pipeline.phase().kind, Phase::Kind::done) << pipeline.phase().message.toStdString();
        const DocumentSummary& summary = pipeline.phase().summary;
        EXPECT_EQ(recognizer->recognitions(), c.recognitions);
        EXPECT_EQ(summary.rotatedPages, c.rotated);
        EXPECT_EQ(summary.deskewedPages, c.deskewed);
        EXPECT_EQ(summary.perspectiveCorrectedPages, c.perspective);
    }
}
