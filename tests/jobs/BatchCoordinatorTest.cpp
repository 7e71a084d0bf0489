#include "jobs/BatchCoordinator.h"

#include "core/OCRError.h"
#include "pipeline/OCRPipeline.h"
#include "pipeline/PDFAuxBuilder.h"
#include "support/EventLoop.h"
#include "support/PdfBuilder.h"
#include "support/PdfReaders.h"
#include "support/QtPrinting.h"
#include "support/RasterFixtures.h"
#include "support/ScriptedRecognizer.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLocale>
#include <QScopeGuard>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>

using namespace quorvane;
using namespace std::chrono_literals;
using test::ScriptedRecognizer;

namespace {

// Reads every numbered page as one line naming its number.
std::shared_ptr<ScriptedRecognizer> readingPageNumbers() {
    return std::make_shared<ScriptedRecognizer>([](const ScriptedRecognizer::Request& request) {
        return test::linesReading({QString("Text of page %1").arg(request.page)});
    });
}

void writeNumbered(const QString& path, int number) {
    ASSERT_TRUE(test::writePdf(path, {test::numberedPage(number)}));
}

// A writable copy: the corpus files themselves may be read-only.
void copyCorpus(const QString& name, const QString& to) {
    ASSERT_TRUE(QFile::copy(test::corpusPath(name), to));
    ASSERT_TRUE(QFile::setPermissions(to, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
}

void setModified(const QString& path, const QDateTime& date) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(date, QFileDevice::FileModificationTime));
}

// Makes `output` record `source` as it is now, as a searchable copy made from it does.
void recordSource(const QString& output, const QString& source) {
    test::editPdf(output, [&](QPDF& pdf) { PDFAuxBuilder::apply({.source = SourceRecord::of(source)}, pdf); });
}

bool runToEnd(BatchCoordinator& coordinator) {
    return test::runUntil([&] { return !coordinator.isRunning(); }, 240s);
}

QList<ItemStatus::Kind> kinds(const BatchCoordinator& coordinator) {
    QList<ItemStatus::Kind> result;
    for (const auto& item : coordinator.items()) {
        result.append(item.status.kind);
    }
    return result;
}

// Watches a run the way the batch list does: every status change, which items start when, and
// how many pipelines exist at each change.
struct RunObserver {
    explicit RunObserver(BatchCoordinator& coordinator) {
        QObject::connect(&coordinator, &BatchCoordinator::itemChanged, &context, [&, this](int index) {
            const auto& status = coordinator.items()[index].status;
            mostPipelines = std::max(mostPipelines, static_cast<int>(coordinator.findChildren<OCRPipeline*>().size()));
            if (status.kind == ItemStatus::Kind::processing) {
                details.insert(status.detail);
                if (!started.contains(index)) {
                    started.append(index);
                    completedWhenStarted.append(coordinator.completedCount());
                }
            }
            headers.append(coordinator.headerText());
        });
        QObject::connect(&coordinator, &BatchCoordinator::finished, &context, [this] { finishedCount += 1; });
    }

    QObject context;
    QList<int> started;
    QList<int> completedWhenStarted;
    QSet<QString> details;
    QStringList headers;
    int mostPipelines = 0;
    int finishedCount = 0;
};

} // namespace

TEST(BatchCoordinatorInputs, FoldersFilesDuplicatesAndOrder) {
    // Numbers by value also under the C locale, where Qt's own comparison is plain.
    const QLocale previous;
    QLocale::setDefault(QLocale::c());
    const auto restore = qScopeGuard([&] { QLocale::setDefault(previous); });
    QTemporaryDir dir;
    const QDir root(dir.path());
    ASSERT_TRUE(root.mkpath("drop/sub"));
    ASSERT_TRUE(root.mkpath("other"));
    for (const char* name : {"drop/b.pdf", "drop/a10.png", "drop/a2.jpg", "drop/.hidden.pdf", "drop/notes.txt",
                             "drop/sub/a1.pdf", "drop/X.PDF", "other/a3.tiff", "other/b.pdf", "loose.HEIC"}) {
        ASSERT_TRUE(test::writeFile(root.filePath(name)));
    }
    const QString drop = root.filePath("drop");

    // A folder: its accepted immediate children by name, numbers by value, case ignored.
    EXPECT_EQ(test::fileNames(BatchCoordinator::expandInputs({drop})), QStringList({"a2.jpg", "a10.png", "b.pdf", "X.PDF"}));

    // The same file twice, or a file and its folder, is queued once, in the form first given.
    const QString roundabout = drop + "/sub/../b.pdf";
    const auto expanded = BatchCoordinator::expandInputs({roundabout, drop, root.filePath("drop/b.pdf")});
    EXPECT_EQ(test::fileNames(expanded), QStringList({"a2.jpg", "a10.png", "b.pdf", "X.PDF"}));
    EXPECT_TRUE(expanded.contains(roundabout));

    // Files of several folders are interleaved by name; equal names keep their discovery order;
    // missing paths and files of other kinds are dropped.
    const auto mixed = BatchCoordinator::expandInputs({root.filePath("other"), root.filePath("missing.pdf"), drop,
                                                       root.filePath("drop/notes.txt"), root.filePath("loose.HEIC")});
    EXPECT_EQ(test::fileNames(mixed), QStringList({"a2.jpg", "a3.tiff", "a10.png", "b.pdf", "b.pdf", "loose.HEIC", "X.PDF"}));
    EXPECT_EQ(mixed[3], root.filePath("other/b.pdf"));
    EXPECT_EQ(mixed[4], root.filePath("drop/b.pdf"));

    EXPECT_TRUE(BatchCoordinator::expandInputs({}).isEmpty());
    EXPECT_TRUE(BatchCoordinator::expandInputs({root.filePath("drop/sub/../../nowhere")}).isEmpty());
}

TEST(BatchCoordinatorUpToDate, RecordedSourcePagesAndDates) {
    QTemporaryDir dir;
    const QDir root(dir.path());
    const QString source = root.filePath("scan.pdf");
    const QString output = root.filePath("scan_searchable.pdf");
    writeNumbered(source, 1);
    const QDateTime sourceDate = QFileInfo(source).lastModified();
    const QString image = root.filePath("photo.png");
    ASSERT_TRUE(test::renderParagraph(QSize(300, 200), {"photo"}).save(image));

    EXPECT_FALSE(BatchCoordinator::isUpToDate(output, source)) << "no output yet";

    copyCorpus("invalid.pdf", output);
    setModified(output, sourceDate.addSecs(60));
    EXPECT_FALSE(BatchCoordinator::isUpToDate(output, source)) << "an output that is no PDF";

    QFile::remove(output);
    writeNumbered(output, 1);
    setModified(output, sourceDate.addSecs(60));
    EXPECT_FALSE(BatchCoordinator::isUpToDate(output, source)) << "an output that records no source";
    recordSource(output, image);
    setModified(output, sourceDate.addSecs(60));
    EXPECT_FALSE(BatchCoordinator::isUpToDate(output, source)) << "made from another file";
    recordSource(output, source);
    setModified(output, sourceDate.addSecs(60));
    EXPECT_TRUE(BatchCoordinator::isUpToDate(output, source));
    EXPECT_FALSE(BatchCoordinator::isUpToDate(output, source, true)) << "the text copy asked for is missing";
    ASSERT_TRUE(test::writeFile(root.filePath("scan_searchable.txt")));
    EXPECT_TRUE(BatchCoordinator::isUpToDate(output, source, true));
    test::editPdf(output, [&](QPDF& pdf) {
        PDFAuxBuilder::apply({.source = SourceRecord::of(source), .textCopy = "none"}, pdf);
    });
    EXPECT_FALSE(BatchCoordinator::isUpToDate(output, source, true)) << "made without one, so the .txt is not its";
    setModified(output, sourceDate);
    EXPECT_TRUE(BatchCoordinator::isUpToDate(output, source)) << "equal dates count as up to date";
    setModified(source, sourceDate.addSecs(-120));
    EXPECT_FALSE(BatchCoordinator::isUpToDate(output, source)) << "the source changed, even to an older date";

    ASSERT_TRUE(test::writePdf(output, {test::numberedPage(1), test::numberedPage(1)}));
    recordSource(output, source);
    EXPECT_FALSE(BatchCoordinator::isUpToDate(output, source)) << "page counts differ";

    // A source that is no PDF (an image, or a damaged file) has no page count to compare.
    writeNumbered(output, 1);
    recordSource(output, image);
    EXPECT_TRUE(BatchCoordinator::isUpToDate(output, image));
    const QString damaged = root.filePath("damaged.pdf");
    copyCorpus("invalid.pdf", damaged);
    recordSource(output, damaged);
    EXPECT_TRUE(BatchCoordinator::isUpToDate(output, damaged));
}

// One folder of documents run as a batch, then again with skip-existing after one source was
// touched.
class BatchCoordinatorFolder : public ::testing::Test {
protected:
    void SetUp() override {
        const QDir root(dir.path());
        ASSERT_TRUE(root.mkpath("in"));
        folder = root.filePath("in");
        copyCorpus("graph_ocred.pdf", folder + "/graph_ocred.pdf"); // already has text
        copyCorpus("invalid.pdf", folder + "/invalid.pdf");         // damaged
        writeNumbered(folder + "/letter.pdf", 3);
        writeNumbered(folder + "/note1.pdf", 5);
        writeNumbered(folder + "/note2.pdf", 6);
        test::saveEncryptedPdf(*test::buildPdf({test::FixturePage{}}), folder + "/locked.pdf", "u", "o");
        QImage scan(850, 1100, QImage::Format_Grayscale8);
        scan.fill(QColor(185, 185, 185)); // what the scripted recognizer reads as page 7
        ASSERT_TRUE(scan.save(folder + "/scan.png"));
        ASSERT_TRUE(test::writeFile(folder + "/notes.txt"));
    }

    QTemporaryDir dir;
    QString folder;
};

TEST_F(BatchCoordinatorFolder, RunsTwoAtATimeThenSkipsWhatIsUpToDate) {
    BatchCoordinator coordinator(readingPageNumbers());
    const QStringList inputs = BatchCoordinator::expandInputs({folder});
    ASSERT_EQ(test::fileNames(inputs), QStringList({"graph_ocred.pdf", "invalid.pdf", "letter.pdf", "locked.pdf",
                                                    "note1.pdf", "note2.pdf", "scan.png"}));

    RunObserver observer(coordinator);
    coordinator.start(inputs, test::recognitionOnly(), std::nullopt, BatchCoordinator::defaultNameTemplate, {"/scope"}, true);
    EXPECT_TRUE(coordinator.isRunning());
    EXPECT_EQ(coordinator.items().size(), 7);
    EXPECT_EQ(coordinator.headerText(), QString::fromUtf8("Batch — 0 of 7 done"));
    ASSERT_TRUE(runToEnd(coordinator));

    // Strict queue order, never more than two at once, and a third document only once one of
    // the first two is over.
    EXPECT_EQ(observer.started, QList<int>({0, 1, 2, 3, 4, 5, 6}));
    for (int k = 2; k < observer.completedWhenStarted.size(); ++k) {
        EXPECT_GE(observer.completedWhenStarted[k], k - 1) << "item " << k;
    }
    EXPECT_EQ(observer.mostPipelines, 2);
    EXPECT_TRUE(coordinator.findChildren<OCRPipeline*>().isEmpty());
    EXPECT_EQ(observer.details,
              QSet<QString>({QString::fromUtf8("Preparing…"), "Page 1 of 1", QString::fromUtf8("Writing text layer…")}));
    EXPECT_TRUE(observer.headers.contains(QString::fromUtf8("Batch — 3 of 7 done")));
    EXPECT_EQ(observer.finishedCount, 1);

    using Kind = ItemStatus::Kind;
    EXPECT_EQ(kinds(coordinator), QList<Kind>({Kind::done, Kind::failed, Kind::done, Kind::failed, Kind::done,
                                               Kind::done, Kind::done}));
    // (Each document's error is read back from quorvane-cli's report in CliBatch, page counts in
    // CliFailures.) Documents in flight together keep their own lines.
    EXPECT_TRUE(test::pdfText(folder + "/letter_searchable.pdf").contains("Text of page 3"));
    EXPECT_TRUE(test::pdfText(folder + "/note2_searchable.pdf").contains("Text of page 6"));
    EXPECT_TRUE(test::pdfText(folder + "/scan_searchable.pdf").contains("Text of page 7"));

    EXPECT_EQ(coordinator.completedCount(), 7);
    EXPECT_EQ(test::fileNames(coordinator.outputURLs()), QStringList({"letter_searchable.pdf", "note1_searchable.pdf",
                                                             "note2_searchable.pdf", "scan_searchable.pdf"}));
    EXPECT_EQ(coordinator.headerText(),
              QString::fromUtf8("Batch finished — 4 processed · 1 already searchable · 2 failed"));

    // Again, skipping up-to-date outputs: a source changed after its output is made again; the rest
    // is skipped. (Which outputs are up to date, e.g. by page count: BatchCoordinatorUpToDate.)
    const QDateTime earlier = QFileInfo(folder + "/note1.pdf").lastModified().addSecs(-60);
    setModified(folder + "/note1_searchable.pdf", earlier);
    coordinator.start(inputs, test::recognitionOnly(), std::nullopt, BatchCoordinator::defaultNameTemplate, {}, true);
    ASSERT_TRUE(runToEnd(coordinator));
    EXPECT_EQ(kinds(coordinator), QList<Kind>({Kind::done, Kind::failed, Kind::skippedExisting, Kind::failed,
                                               Kind::done, Kind::skippedExisting, Kind::skippedExisting}));
    EXPECT_EQ(coordinator.items()[2].status.output, folder + "/letter_searchable.pdf");
    EXPECT_GT(QFileInfo(folder + "/note1_searchable.pdf").lastModified(), earlier);
    EXPECT_EQ(coordinator.headerText(),
              QString::fromUtf8("Batch finished — 1 processed · 1 already searchable · 3 skipped · 2 failed"));

    // Without skip-existing everything runs, and a run while running is ignored.
    coordinator.start({folder + "/note2.pdf"}, test::recognitionOnly());
    EXPECT_TRUE(coordinator.isRunning());
    coordinator.start(inputs, test::recognitionOnly());
    coordinator.clear();
    EXPECT_EQ(coordinator.items().size(), 1);
    ASSERT_TRUE(runToEnd(coordinator));
    EXPECT_EQ(kinds(coordinator), QList<Kind>({Kind::done}));

    // An empty drop leaves the finished queue as it is; clear empties it.
    coordinator.start({}, test::recognitionOnly());
    EXPECT_EQ(coordinator.items().size(), 1);
    coordinator.clear();
    EXPECT_TRUE(coordinator.items().isEmpty());
}

// The French language data is missing at first: the French document fails with the recognizer's
// text. Once it is installed, a retry runs that document alone.
TEST(BatchCoordinatorCancel, InFlightFinishRestCancelledThenRetryOnlyFailed) {
    QTemporaryDir dir;
    const QDir root(dir.path());
    ASSERT_TRUE(root.mkpath("in"));
    ASSERT_TRUE(root.mkpath("out"));
    const QString in = root.filePath("in");
    const QString out = root.filePath("out");
    writeNumbered(in + "/a_french.pdf", 9);
    for (const char* name : {"b.pdf", "c.pdf", "d.pdf"}) {
        writeNumbered(in + "/" + name, 2);
    }
    const QStringList inputs = BatchCoordinator::expandInputs({in});
    const QString missingModel =
        "The Tesseract language data fra.traineddata is not installed in /usr/share/tessdata.";
    std::atomic<bool> frenchInstalled = false;
    const auto recognizer = std::make_shared<ScriptedRecognizer>([&](const ScriptedRecognizer::Request& request) {
        if (request.page == 9 && !frenchInstalled) {
            throw PlatformError(missingModel);
        }
        return test::linesReading({"Bonjour"});
    });
    BatchCoordinator coordinator(recognizer);

    // Cancel as soon as the second document has started: both in flight run to their end.
    QObject context;
    QObject::connect(&coordinator, &BatchCoordinator::itemChanged, &context, [&](int index) {
        if (index == 1 && coordinator.items()[1].status.kind == ItemStatus::Kind::processing) {
            coordinator.cancel();
        }
    });
    RunObserver observer(coordinator);
    coordinator.start(inputs, test::recognitionOnly(), out, "{name}_ocr");
    ASSERT_TRUE(runToEnd(coordinator));
    using Kind = ItemStatus::Kind;
    EXPECT_EQ(kinds(coordinator), QList<Kind>({Kind::failed, Kind::done, Kind::cancelled, Kind::cancelled}));
    EXPECT_EQ(coordinator.items()[0].status, ItemStatus::failed(missingModel));
    EXPECT_EQ(observer.started, QList<int>({0, 1}));
    EXPECT_EQ(coordinator.completedCount(), 4);
    EXPECT_EQ(test::filesIn(out), QStringList({"b_ocr.pdf"}));
    EXPECT_EQ(coordinator.headerText(), QString::fromUtf8("Batch finished — 1 processed · 1 failed · 2 cancelled"));

    // A retry runs the failed document alone, with the last run's folder and name.
    frenchInstalled = true;
    observer.started.clear();
    coordinator.retryFailed();
    EXPECT_TRUE(coordinator.isRunning());
    EXPECT_EQ(coordinator.items()[0].status.kind, Kind::pending);
    ASSERT_TRUE(runToEnd(coordinator));
    EXPECT_EQ(kinds(coordinator), QList<Kind>({Kind::done, Kind::done, Kind::cancelled, Kind::cancelled}));
    EXPECT_EQ(observer.started, QList<int>({0}));
    EXPECT_TRUE(QFileInfo::exists(out + "/a_french_ocr.pdf"));
    EXPECT_EQ(observer.finishedCount, 2);

    // Nothing failed any more: a retry changes nothing and starts no run.
    const QList<BatchItem> before = coordinator.items();
    coordinator.retryFailed();
    EXPECT_FALSE(coordinator.isRunning());
    test::runFor(50ms);
    EXPECT_EQ(coordinator.items(), before);
    EXPECT_EQ(observer.finishedCount, 2);
}
