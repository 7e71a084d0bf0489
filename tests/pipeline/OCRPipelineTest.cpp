// The document pipeline driven in a real event loop with a scripted recognizer: its phases, its
// counters, the order of what it writes, how often it recognises a page, its refusals and
// failures, and what it leaves behind.

#include "pipeline/OCRPipeline.h"
#include "core/OCRError.h"
#include "pipeline/PageTaskPool.h"
#include "support/EventLoop.h"
#include "support/PdfBuilder.h"
#include "support/PdfReaders.h"
#include "support/RasterFixtures.h"
#include "support/ScriptedRecognizer.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QThread>
#include <atomic>
#include <gtest/gtest.h>

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
    if (pipeline.isRunning()) {
        pipeline.process(source, output + ".again.pdf", options); // ignored while busy
    }
    EXPECT_TRUE(runUntil([&] { return !pipeline.isRunning(); }, std::chrono::seconds(60)));
    EXPECT_FALSE(QFile::exists(output + ".again.pdf"));
    return phases;
}

// Twelve lines of forty characters read well: a first pass that is trusted. A photographed page
// narrows its text towards the top, about the middle, its lines shrinking alike.
std::vector<OCRLine> prose(double angle = 0, double narrowing = 0) {
    QStringList texts;
    for (int i = 0; i < 12; ++i) {
        texts << QString("A line of prose long enough to be read %1").arg(i, 2);
    }
    auto lines = linesReading(texts, 0.95f);
    for (auto& line : lines) {
        Rect& box = line.boundingBox;
        const double scale = 1 - narrowing * (box.y - 0.1) / 0.8;
        box = {0.5 + (box.x - 0.5) * scale, box.y, box.width * scale, box.height * scale};
        line.angle = angle;
    }
    return lines;
}

// For work on the recognizer's threads: returns once `condition` holds, or after ten seconds.
void waitUntil(const std::function<bool()>& condition) {
    for (int waited = 0; !condition() && waited < 10000; waited += 5) {
        QThread::msleep(5);
    }
}

// Works on `count` pages at once for as long as it lives.
class PageThreads {
public:
    explicit PageThreads(int count) { setPageThreadCount(count); }
    ~PageThreads() { setPageThreadCount(before_); }

private:
    int before_ = pageThreadCount();
};

constexpr double tilt = 0.035;     // two degrees
constexpr double keystone = 0.2; // the top line a fifth narrower than the foot

// The page's accurate recognitions answer these in turn, the last one any more. At the fast level
// (the orientation check and probe) sideways copies of the page, which are landscape, read well
// and upright ones nothing; or the other way round for a page that is upright after all.
struct Script {
    std::vector<std::vector<OCRLine>> accurate;
    bool sidewaysReadsWell = true;
    std::shared_ptr<std::atomic<int>> calls = std::make_shared<std::atomic<int>>(0);

    std::vector<OCRLine> operator()(const Request& request) const {
        if (request.level == OCRRecognitionLevel::fast) {
            return (request.width > request.height) == sidewaysReadsWell ? prose() : std::vector<OCRLine>{};
        }
        return accurate[std::min(std::size_t(calls->fetch_add(1)), accurate.size() - 1)];
    }
};

} // namespace

// Pages with text pass through; the others are recognised in page order, their lines put in
// reading order, counted, written and copied to the sidecar. (A sidecar that cannot be saved
// while the PDF is: CliFailures.)
TEST(OCRPipeline, PhasesCountersAndSidecarFollowThePagesInOrder) {
    QTemporaryDir folder;
    const QString source = folder.filePath("doc.pdf");
    ASSERT_TRUE(writePdf(source, {numberedPage(1), {.text = "Already searchable"}, numberedPage(3), numberedPage(4)}));
    const QStringList tenLines{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"};
    const auto recognizer = reading([&](const Request& request) {
        auto lines = request.page == 1 ? linesReading(tenLines, 0.9f) : std::vector<OCRLine>{};
        std::reverse(lines.begin(), lines.end()); // the recognizer's order is not the reading order
        return request.page == 3 ? linesReading({"faint"}, 0.1f) : lines;
    });
    OCROptions options = recognitionOnly();
    options.writesTextSidecar = true;
    OCRPipeline pipeline(recognizer);
    const auto phases = runToEnd(pipeline, source, folder.filePath("doc_searchable.pdf"), options);

    ASSERT_EQ(phases.size(), 6);
    EXPECT_EQ(phases.mid(0, 5), (QList<Phase>{Phase::preparing(), Phase::recognizing(1, 4), Phase::recognizing(3, 4),
                                             Phase::recognizing(4, 4), Phase::writing()}));
    const DocumentSummary& summary = phases[5].summary;
    EXPECT_EQ(summary.outputURL, folder.filePath("doc_searchable.pdf"));
    EXPECT_EQ(summary.processedPages, 3);
    EXPECT_EQ(summary.skippedPages, 1);
    // Every line weighs the same; only the faint page is low, the page without lines counts for nothing.
    EXPECT_NEAR(summary.averageConfidence, (10 * 0.9f + 0.1f) / 11, 1e-6);
    EXPECT_EQ(summary.lowConfidencePages, 1);
    EXPECT_EQ(recognizer->recognitions(), 3);
    EXPECT_EQ(pdfPageCount(folder.filePath("doc_searchable.pdf")), 4);
    // One empty line between pages, also after the existing text (which Poppler ends with a form feed).
    EXPECT_EQ(readTextFile(*summary.sidecarURL).toStdString(),
              (tenLines.join('\n') + "\n\nAlready searchable\n\nfaint\n\n").toStdString());
}

// Three pages at a time, the first the slowest, each read badly at first so that the orientation
// probe reads its four turns on threads of its own: the pages end in any order, yet are shown,
// counted and written in page order, and no more recognitions run at once than pages are worked on.
TEST(OCRPipeline, PagesWorkedOnTogetherComeOutInPageOrder) {
    const PageThreads threads(3);
    QTemporaryDir folder;
    const QString source = folder.filePath("doc.pdf");
    std::vector<FixturePage> pages;
    for (int page = 1; page <= 6; ++page) {
        pages.push_back(numberedPage(page));
    }
    ASSERT_TRUE(writePdf(source, pages));
    const auto recognizer = reading([](const Request& request) {
        QThread::msleep(request.level == OCRRecognitionLevel::fast ? 100 : 100 + 60 * (7 - request.page));
        return request.level == OCRRecognitionLevel::fast
                   ? std::vector<OCRLine>{}
                   : linesReading({QString("page %1").arg(request.page)}, 0.3f);
    });
    OCROptions options = recognitionOnly();
    options.autoRotate = true;
    options.writesTextSidecar = true;
    OCRPipeline pipeline(recognizer);
    const auto phases = runToEnd(pipeline, source, folder.filePath("doc_searchable.pdf"), options);

    QList<Phase> expected{Phase::preparing()};
    for (int page = 1; page <= 6; ++page) {
        expected << Phase::recognizing(page, 6);
    }
    ASSERT_EQ(phases.size(), 9);
    EXPECT_EQ(phases.mid(0, 7), expected);
    EXPECT_EQ(phases[8].summary.lowConfidencePages, 6);
    EXPECT_EQ(readTextFile(folder.filePath("doc_searchable.txt")),
              "page 1\n\npage 2\n\npage 3\n\npage 4\n\npage 5\n\npage 6");
    EXPECT_EQ(recognizer->recognitions(), 6 * 5);
    EXPECT_LE(recognizer->mostAtOnce(), 3);
    EXPECT_GE(recognizer->mostAtOnce(), 2) << "pages were worked on one at a time";
}

// An upright, straight page is recognised once whatever the switches; every correction that
// changes the image adds one recognition. A guess that the page is turned is checked first on the
// middle of the page, as it lies and turned (two recognitions); the orientation probe
// reads its four candidates when the first pass reads badly, or when the page read turned does.
TEST(OCRPipeline, RecognisesOnceAndOnceMoreForEachCorrectionThatApplies) {
    const auto switches = [](bool on) {
        OCROptions options = recognitionOnly();
        options.autoRotate = options.deskew = options.perspective = on;
        return options;
    };
    const OrientationGuess sure{1, 3.0};
    const auto garbled = linesReading({"s0me g@rbled w0rds"}, 0.3f);
    const auto note = linesReading({"Dear Margaret,", "Thank you for the minutes."}, 0.95f);
    struct Case {
        const char* name;
        Script script;
        OrientationGuess orientation; // what orientation detection reports
        OCROptions options;
        int recognitions, rotated, deskewed, perspective;
        OrientationGuess closer = {}; // what a closer look reports
    };
    const std::vector<Case> cases = {
        {"upright, every switch off", {{prose()}}, {}, switches(false), 1, 0, 0, 0},
        // A first pass without lines, or one that reads the page well, leaves the probe out.
        {"blank, every switch on", {{std::vector<OCRLine>{}}}, {}, switches(true), 1, 0, 0, 0},
        {"upright, every switch on", {{prose()}}, {}, switches(true), 1, 0, 0, 0},
        {"tilted", {{prose(tilt), prose()}}, {}, switches(true), 2, 0, 1, 0},
        // Photographed at an angle, slightly tilted, and scanned sideways: the guess is checked,
        // the page read turned, once, and each correction adds one recognition.
        {"photographed", {{prose(tilt), prose(0, keystone), prose()}}, sure, switches(true), 2 + 1 + 2, 1, 1, 1},
        // Surely taken for turned, yet upright: the check refutes it and the page is read as it lies.
        {"upright, taken for turned", {{prose()}, false}, sure, switches(true), 2 + 1, 0, 0, 0},
        // A closer look that is surer of the page being upright is not checked.
        {"upright on a closer look", {{prose()}}, {1, 0.2}, switches(true), 1, 0, 0, 0, {0, 6}},
        // Too short to read well, a page that reads confidently is probed only when detection was
        // unsure of it.
        {"short, seen upright", {{note}, false}, {0, 5.0}, switches(true), 1, 0, 0, 0},
        {"short, turned as checked", {{note}}, sure, switches(true), 2 + 1, 1, 0, 0},
        {"short, unsure", {{note}, false}, {0, 0.5}, switches(true), 1 + 4, 0, 0, 0},
        // A confirmed guess whose reading goes badly: the probe confirms it, and that reading stays.
        {"confirmed guess read badly", {{garbled}}, sure, switches(true), 2 + 1 + 4, 1, 0, 0},
    };
    QTemporaryDir folder;
    const QString source = folder.filePath("sheet.pdf");
    ASSERT_TRUE(writePdf(source, {numberedPage(1)}));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto recognizer = std::make_shared<ScriptedRecognizer>(c.script, [&c](const Request& request) {
            return request.level == OCRRecognitionLevel::fast ? c.orientation : c.closer;
        });
        OCRPipeline pipeline(recognizer);
        const Phase done = runToEnd(pipeline, source, folder.filePath("sheet_searchable.pdf"), c.options).last();
        ASSERT_EQ(done.kind, Phase::Kind::done) << done.message.toStdString();
        EXPECT_EQ(recognizer->recognitions(), c.recognitions);
        EXPECT_EQ(QList<int>({done.summary.rotatedPages, done.summary.deskewedPages,
                              done.summary.perspectiveCorrectedPages}),
                  QList<int>({c.rotated, c.deskewed, c.perspective}));
    }
}

// (An output that would replace its source is refused end to end: CliBatch.)
TEST(OCRPipeline, ADocumentOverThePageLimitIsRefusedBeforeAnyWork) {
    QTemporaryDir folder;
    const auto recognizer = reading([](const Request&) { return std::vector<OCRLine>{}; });
    OCRPipeline pipeline(recognizer);
    const QString longDocument = folder.filePath("long.pdf");
    ASSERT_TRUE(writePdf(longDocument, std::vector<FixturePage>(2001, FixturePage{.mediaBox = {0, 0, 100, 100}})));
    EXPECT_EQ(runToEnd(pipeline, longDocument, folder.filePath("long_searchable.pdf")).last(),
              Phase::failed("This document has 2001 pages to process, over the 2000-page limit for a single job. "
                            "Split it into smaller files and process the parts separately.",
                            OCRError::Kind::documentTooLarge));
    EXPECT_EQ(filesIn(folder.path()), QStringList{"long.pdf"});
    EXPECT_EQ(recognizer->recognitions(), 0);
}

// Recognition failing on one page while the pages after it are read, and an engine lost while the
// orientation probe reads the page's four turns at once: the run ends with the first failed page's
// own text, and nothing is left. Cancelling in the middle leaves nothing either.
TEST(OCRPipeline, ARecognizerThatFailsEndsTheRunWithItsOwnTextAndLeavesNothing) {
    const PageThreads threads(2);
    QTemporaryDir folder;
    const QString source = folder.filePath("doc.pdf");
    ASSERT_TRUE(writePdf(source, {numberedPage(1), numberedPage(2), numberedPage(3), numberedPage(4)}));
    std::atomic<bool> page4Failed = false;
    const auto failsOnPages2And4 = reading([&](const Request& request) {
        if (request.page == 2) {
            waitUntil([&] { return page4Failed.load(); }); // pages 3 and 4 end first
            throw PlatformError("Tesseract could not recognise the page.");
        }
        if (request.page == 4) {
            page4Failed = true;
            throw PlatformError("Page 4 failed too.");
        }
        return linesReading({"fine"});
    });
    OCRPipeline pipeline(failsOnPages2And4);
    const auto phases = runToEnd(pipeline, source, folder.filePath("doc_searchable.pdf"));
    EXPECT_EQ(phases.mid(phases.size() - 2),
              (QList<Phase>{Phase::recognizing(2, 4), Phase::failed("Tesseract could not recognise the page.")}));
    EXPECT_EQ(failsOnPages2And4->recognitions(), 4);
    EXPECT_EQ(filesIn(folder.path()), QStringList{"doc.pdf"});

    // Stopped while page 2 is read: the pages in flight end, no later page starts, nothing is written.
    const auto slow = reading([](const Request&) {
        QThread::msleep(100);
        return linesReading({"fine"});
    });
    OCRPipeline stopped(slow);
    QObject::connect(&stopped, &OCRPipeline::phaseChanged, [&](const Phase& phase) {
        if (phase == Phase::recognizing(2, 4)) {
            stopped.cancel();
        }
    });
    EXPECT_EQ(runToEnd(stopped, source, folder.filePath("doc_searchable.pdf")).last(),
              Phase::failed(OCRPipeline::cancelledMessage));
    EXPECT_TRUE(stopped.wasCancelled());
    EXPECT_LE(slow->recognitions(), 3);
    EXPECT_EQ(filesIn(folder.path()), QStringList{"doc.pdf"});

    // A badly read first pass sends the page to the probe, whose upright and upside-down candidates
    // lose their engine while the two sideways ones are still being read.
    std::atomic<int> sidewaysRead = 0;
    const auto losesEngine = reading([&](const Request& request) {
        if (request.level == OCRRecognitionLevel::accurate) {
            return linesReading({"s0me g@rbled w0rds"}, 0.3f);
        }
        if (request.width < request.height) {
            throw PlatformError("The Tesseract engine stopped responding.");
        }
        QThread::msleep(300);
        sidewaysRead += 1;
        return std::vector<OCRLine>{};
    });
    OCROptions options = recognitionOnly();
    options.autoRotate = true;
    const PageThreads oneAtATime(1);
    OCRPipeline probing(losesEngine);
    int sidewaysReadWhenFailed = -1;
    QObject::connect(&probing, &OCRPipeline::phaseChanged, [&](const Phase& phase) {
        sidewaysReadWhenFailed = phase.kind == Phase::Kind::failed ? sidewaysRead.load() : -1;
    });
    EXPECT_EQ(runToEnd(probing, source, folder.filePath("doc_searchable.pdf"), options).last(),
              Phase::failed("The Tesseract engine stopped responding."));
    EXPECT_EQ(losesEngine->recognitions(), 5);
    EXPECT_EQ(sidewaysReadWhenFailed, 2) << "the candidates borrow the probe's frame: all end before it throws";
    EXPECT_EQ(filesIn(folder.path()), QStringList{"doc.pdf"});
}

TEST(OCRPipeline, ImageSourcesLeaveNoTemporaryPdfOnSuccessOrFailure) {
    QTemporaryDir folder;
    QTemporaryDir temporary;
    const ScopedEnvironment temporaryFolder("TMPDIR", temporary.path().toLocal8Bit());

    const QString image = folder.filePath("note.png");
    renderParagraph(QSize(900, 300), {"Harbour photographs"}, 50).save(image);
    OCRPipeline pipeline(reading([](const Request&) { return linesReading({"Harbour photographs"}); }));
    EXPECT_EQ(runToEnd(pipeline, image, folder.filePath("note_searchable.pdf")).last().kind, Phase::Kind::done);
    EXPECT_TRUE(filesUnder(temporary.path()).isEmpty()); // the private folder's too

    // The image became a temporary PDF, then its reading fails: that PDF still goes.
    OCRPipeline failing(reading([](const Request&) -> std::vector<OCRLine> {
        throw PlatformError("The Tesseract engine stopped responding.");
    }));
    EXPECT_EQ(runToEnd(failing, image, folder.filePath("note_searchable.pdf")).last().kind, Phase::Kind::failed);
    EXPECT_TRUE(filesUnder(temporary.path()).isEmpty());
}

// A signature covers the bytes of its own file: a signed source is flagged, one whose signature
// field is empty is not, and the copy keeps the field for readers to judge.
TEST(OCRPipeline, ASignedSourceIsFlaggedAndKeepsItsSignatureField) {
    QTemporaryDir folder;
    const QString source = folder.filePath("form.pdf"), output = folder.filePath("form_searchable.pdf");
    for (const bool isSigned : {false, true}) {
        SCOPED_TRACE(isSigned);
        const auto pdf = buildPdf({numberedPage(1)});
        auto field = pdf->makeIndirectObject(QPDFObjectHandle::parse(
            "<< /Type /Annot /Subtype /Widget /FT /Sig /T (Signature1) /Rect [300 300 400 320] >>"));
        if (isSigned) {
            field.replaceKey("/V", QPDFObjectHandle::parse("<< /Type /Sig /Filter /Adobe.PPKLite "
                                                           "/ByteRange [0 10 20 30] /Contents <00> >>"));
        }
        pdf->getRoot().getKey("/Pages").getKey("/Kids").getArrayItem(0).replaceKey(
            "/Annots", QPDFObjectHandle::newArray({field}));
        pdf->getRoot().replaceKey("/AcroForm", QPDFObjectHandle::parse("<< /Fields [] >>"));
        pdf->getRoot().getKey("/AcroForm").getKey("/Fields").appendItem(field);
        savePdf(*pdf, source);

        OCRPipeline pipeline(reading([](const Request&) { return linesReading({"Agreement"}); }));
        const Phase done = runToEnd(pipeline, source, output).last();
        ASSERT_EQ(done.kind, Phase::Kind::done) << done.message.toStdString();
        EXPECT_EQ(done.summary.sourceSigned, isSigned);
        EXPECT_TRUE(runProgram("pdfsig", {output}).standardOutput.contains("Signature Field Name: Signature1"));
    }
}
