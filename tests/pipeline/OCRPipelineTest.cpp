// The document pipeline driven in a real event loop with a scripted recognizer: its phases, its
// counters, the order of what it writes, its refusals and failures, and what it leaves behind.

#include "core/OCRError.h"
#include "pipeline/OCRPipeline.h"
#include "support/EventLoop.h"
#include "support/PdfBuilder.h"
#include "support/PdfReaders.h"
#include "support/RasterFixtures.h"
#include "support/ScriptedRecognizer.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QThread>
#include <gtest/gtest.h>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

using namespace quorvane;
using namespace quorvane::test;
using Request = ScriptedRecognizer::Request;

namespace {

std::shared_ptr<ScriptedRecognizer> reading(ScriptedRecognizer::Script script) {
    return std::make_shared<ScriptedRecognizer>(std::move(script));
}

// Runs the pipeline to its end and returns every phase it published.
QList<Phase> runToEnd(OCRPipeline& pipeline, const QString& source, const QString& output,
                      const OCROptions& options = recognitionOnly()) {
    QList<Phase> phases;
    QObject listener; // ends the connection with this call
    QObject::connect(&pipeline, &OCRPipeline::phaseChanged, &listener,
                     [&](const Phase& phase) { phases.append(phase); });
    pipeline.process(source, output, options);
    EXPECT_TRUE(runUntil([&] { return !pipeline.isRunning(); }, std::chrono::seconds(60)));
    return phases;
}

QString numberedDocument(const QString& folder, std::vector<FixturePage> pages) {
    const QString path = folder + "/doc.pdf";
    EXPECT_TRUE(writePdf(path, pages));
    return path;
}

} // namespace

// Pages with text pass through; the others are recognised in page order, their lines put in
// reading order, counted, written and copied to the sidecar.
TEST(OCRPipeline, PhasesCountersAndSidecarFollowThePagesInOrder) {
    QTemporaryDir folder;
    const QString source = numberedDocument(
        folder.path(), {numberedPage(1), {.text = "Already searchable"}, numberedPage(3), numberedPage(4)});
    QStringList tenLines;
    for (int i = 1; i <= 10; ++i) {
        tenLines << QString("line %1").arg(i);
    }
    const auto recognizer = reading([&](const Request& request) {
        if (request.page == 1) {
            auto lines = linesReading(tenLines, 0.9f);
            std::reverse(lines.begin(), lines.end()); // the recognizer's order is not the reading order
            return lines;
        }
        return request.page == 3 ? linesReading({"faint"}, 0.1f) : std::vector<OCRLine>{};
    });
    OCROptions options = recognitionOnly();
    options.writesTextSidecar = true;
    OCRPipeline pipeline(recognizer);
    QList<Phase> phases;
    QObject::connect(&pipeline, &OCRPipeline::phaseChanged, [&](const Phase& phase) { phases.append(phase); });

    const QString output = folder.filePath("doc_searchable.pdf");
    pipeline.process(source, output, options);
    EXPECT_TRUE(pipeline.isRunning());
    pipeline.process(source, folder.filePath("other.pdf"), options); // ignored while busy
    ASSERT_TRUE(runUntil([&] { return !pipeline.isRunning(); }, std::chrono::seconds(60)));

    ASSERT_EQ(phases.size(), 6);
    EXPECT_EQ(phases[0], Phase::preparing());
    EXPECT_EQ(phases[1], Phase::recognizing(1, 4));
    EXPECT_EQ(phases[2], Phase::recognizing(3, 4));
    EXPECT_EQ(phases[3], Phase::recognizing(4, 4));
    EXPECT_EQ(phases[4], Phase::writing());
    ASSERT_EQ(phases[5].kind, Phase::Kind::done);
    const DocumentSummary& summary = phases[5].summary;
    EXPECT_EQ(summary.outputURL, output);
    EXPECT_EQ(summary.processedPages, 3);
    EXPECT_EQ(summary.skippedPages, 1);
    // Every line weighs the same: (10 x 0.9 + 0.1) / 11. Only the faint page is low; the page
    // without lines counts for nothing.
    EXPECT_NEAR(summary.averageConfidence, 9.1f / 11, 1e-6);
    EXPECT_EQ(summary.lowConfidencePages, 1);
    EXPECT_EQ(summary.lowDPIPages, 0);
    EXPECT_EQ(recognizer->recognitions(), 3);

    EXPECT_EQ(pdfPageCount(output), 4);
    EXPECT_EQ(summary.sidecarURL, folder.filePath("doc_searchable.txt"));
    // Existing text as the document gives it (Poppler ends a page with a form feed).
    EXPECT_EQ(readTextFile(folder.filePath("doc_searchable.txt")).toStdString(),
              (tenLines.join('\n') + "\n\nAlready searchable\n\f\n\nfaint\n\n").toStdString());
    EXPECT_FALSE(QFile::exists(folder.filePath("other.pdf")));
}

TEST(OCRPipeline, RefusalsComeWithTheirTextAndKind) {
    QTemporaryDir folder;
    const auto recognizer = reading([](const Request&) { return std::vector<OCRLine>{}; });
    OCRPipeline pipeline(recognizer);

    // The output would replace the source: nothing is opened.
    const QString source = numberedDocument(folder.path(), {numberedPage(1)});
    const auto overwrite = runToEnd(pipeline, source, folder.filePath("DOC.pdf"));
    ASSERT_EQ(overwrite.size(), 1);
    EXPECT_EQ(overwrite[0], Phase::failed(OCRError::outputOverwritesSource()));
    EXPECT_EQ(overwrite[0].errorKind, OCRError::Kind::outputOverwritesSource);

    const QString longDocument = folder.filePath("long.pdf");
    {
        QPDF pdf;
        pdf.emptyPDF();
        QPDFPageDocumentHelper pages(pdf);
        for (int i = 0; i < 2001; ++i) {
            auto page = QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 100 100] >>");
            pages.addPage(QPDFPageObjectHelper(pdf.makeIndirectObject(page)), false);
        }
        QPDFWriter writer(pdf, QFile::encodeName(longDocument).constData());
        writer.write();
    }
    const auto tooLong = runToEnd(pipeline, longDocument, folder.filePath("long_searchable.pdf"));
    EXPECT_EQ(tooLong.last(),
              Phase::failed("This document has 2001 pages to process, over the 2000-page limit for a single job. "
                            "Split it into smaller files and process the parts separately.",
                            OCRError::Kind::documentTooLarge));
    EXPECT_EQ(filesIn(folder.path()), (QStringList{"doc.pdf", "long.pdf"}));
    EXPECT_EQ(recognizer->recognitions(), 0);
}

// Recognition failing on one page, and an engine lost while the orientation probe recognises the
// page's four turns at once: the run ends with the recognizer's own text, and nothing is left.
TEST(OCRPipeline, ARecognizerThatFailsEndsTheRunWithItsOwnTextAndLeavesNothing) {
    QTemporaryDir folder;
    const QString source = numberedDocument(folder.path(), {numberedPage(1), numberedPage(2), numberedPage(3)});
    const auto failsOnPage2 = reading([](const Request& request) {
        if (request.page == 2) {
            throw PlatformError("Tesseract could not recognise the page.");
        }
        return linesReading({"fine"});
    });
    OCRPipeline pipeline(failsOnPage2);
    const auto phases = runToEnd(pipeline, source, folder.filePath("doc_searchable.pdf"));
    ASSERT_GE(phases.size(), 2);
    EXPECT_EQ(phases[phases.size() - 2], Phase::recognizing(2, 3));
    EXPECT_EQ(phases.last(), Phase::failed("Tesseract could not recognise the page."));
    EXPECT_FALSE(phases.last().errorKind.has_value());
    EXPECT_EQ(failsOnPage2->recognitions(), 2);
    EXPECT_EQ(filesIn(folder.path()), QStringList{"doc.pdf"});

    // A first pass that reads badly sends the page to the probe; its upright and upside-down
    // candidates lose their engine while the two sideways ones are still being read.
    std::atomic<int> sidewaysFinished = 0;
    const auto losesEngine = reading([&](const Request& request) {
        if (request.level == OCRRecognitionLevel::accurate) {
            return linesReading({"s0me g@rbled w0rds"}, 0.3f);
        }
        if (request.width < request.height) {
            throw PlatformError("The Tesseract engine stopped responding.");
        }
        QThread::msleep(300);
        sidewaysFinished += 1;
        return std::vector<OCRLine>{};
    });
    OCROptions options = recognitionOnly();
    options.autoRotate = true;
    OCRPipeline probing(losesEngine);
    int finishedWhenFailed = -1;
    QObject::connect(&probing, &OCRPipeline::phaseChanged, [&](const Phase& phase) {
        if (phase.kind == Phase::Kind::failed) {
            finishedWhenFailed = sidewaysFinished;
        }
    });
    const auto probed = runToEnd(probing, source, folder.filePath("doc_searchable.pdf"), options);
    EXPECT_EQ(probed.last(), Phase::failed("The Tesseract engine stopped responding."));
    EXPECT_EQ(losesEngine->recognitions(), 5);
    EXPECT_EQ(finishedWhenFailed, 2) << "the probe's candidates borrow its frame: all end before it throws";
    EXPECT_EQ(filesIn(folder.path()), QStringList{"doc.pdf"});
}

TEST(OCRPipeline, SidecarThatCannotBeWrittenLeavesThePdfAndSaysWhy) {
    QTemporaryDir folder;
    const QString source = numberedDocument(folder.path(), {numberedPage(1)});
    // A folder where the sidecar should go makes the sidecar fail, as a full disk would.
    ASSERT_TRUE(QDir().mkdir(folder.filePath("doc_searchable.txt")));
    OCROptions options = recognitionOnly();
    options.writesTextSidecar = true;
    OCRPipeline pipeline(reading([](const Request&) { return linesReading({"words"}); }));
    const auto phases = runToEnd(pipeline, source, folder.filePath("doc_searchable.pdf"), options);
    ASSERT_EQ(phases.last().kind, Phase::Kind::done);
    EXPECT_TRUE(QFile::exists(folder.filePath("doc_searchable.pdf")));
    EXPECT_FALSE(phases.last().summary.sidecarURL.has_value());
    ASSERT_TRUE(phases.last().summary.sidecarError.has_value());
    EXPECT_FALSE(phases.last().summary.sidecarError->isEmpty());
}

TEST(OCRPipeline, ImageSourcesLeaveNoTemporaryPdfOnSuccessOrFailure) {
    QTemporaryDir folder;
    QTemporaryDir temporary;
    const ScopedEnvironment temporaryFolder("TMPDIR", temporary.path().toLocal8Bit());

    const QString image = folder.filePath("note.png");
    renderParagraph(QSize(900, 300), {"Harbour photographs"}, 50).save(image);
    OCRPipeline pipeline(reading([](const Request&) { return linesReading({"Harbour photographs"}); }));
    EXPECT_EQ(runToEnd(pipeline, image, folder.filePath("note_searchable.pdf")).last().kind, Phase::Kind::done);
    EXPECT_TRUE(filesIn(temporary.path()).isEmpty());

    // The image is made, then the output cannot be written: the temporary PDF still goes.
    const auto failed = runToEnd(pipeline, image, folder.filePath("gone/note_searchable.pdf"));
    EXPECT_EQ(failed.last().kind, Phase::Kind::failed);
    EXPECT_EQ(failed.last().errorKind, OCRError::Kind::outputWriteFailed);
    EXPECT_TRUE(filesIn(temporary.path()).isEmpty());
}
