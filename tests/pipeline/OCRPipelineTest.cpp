// The document pipeline driven in a real event loop: its phases, its refusals and what it leaves
// behind.

#include "core/OCRError.h"
#include "pipeline/OCRPipeline.h"
#include "support/EventLoop.h"
#include "support/PdfBuilder.h"
#include "support/RasterFixtures.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <gtest/gtest.h>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

using namespace quorvane;
using namespace quorvane::test;

namespace {

// Runs the pipeline to its end and returns every phase it published.
QList<Phase> runToEnd(OCRPipeline& pipeline, const QString& source, const QString& output,
                      const OCROptions& options = recognitionOnly()) {
    QList<Phase> phases;
    QObject listener; // ends the connection with this call
    QObject::connect(&pipeline, &OCRPipeline::phaseChanged, &listener,
                     [&](const Phase& phase) { phases.append(phase); });
    pipeline.process(source, output, options);
    EXPECT_TRUE(runUntil([&] { return !pipeline.isRunning(); }, std::chrono::seconds(120)));
    return phases;
}

} // namespace

TEST(OCRPipeline, PublishesEachStepAndIgnoresASecondRunWhileBusy) {
    QTemporaryDir folder;
    const QString source = smallScan(folder.path(), "scan.pdf");
    const QString other = smallScan(folder.path(), "other.pdf");
    OCRPipeline pipeline;
    QList<Phase> phases;
    QObject::connect(&pipeline, &OCRPipeline::phaseChanged, [&](const Phase& phase) { phases.append(phase); });

    pipeline.process(source, folder.filePath("scan_searchable.pdf"), recognitionOnly());
    EXPECT_TRUE(pipeline.isRunning());
    pipeline.process(other, folder.filePath("other_searchable.pdf"), recognitionOnly());
    ASSERT_TRUE(runUntil([&] { return !pipeline.isRunning(); }, std::chrono::seconds(120)));

    ASSERT_EQ(phases.size(), 4);
    EXPECT_EQ(phases[0], Phase::preparing());
    EXPECT_EQ(phases[1], Phase::recognizing(1, 1));
    EXPECT_EQ(phases[2], Phase::writing());
    EXPECT_EQ(phases[3].kind, Phase::Kind::done);
    const DocumentSummary& summary = phases[3].summary;
    EXPECT_EQ(summary.outputURL, folder.filePath("scan_searchable.pdf"));
    EXPECT_EQ(summary.processedPages, 1);
    EXPECT_GT(summary.averageConfidence, 0.5f);
    EXPECT_FALSE(QFile::exists(folder.filePath("other_searchable.pdf")));
}

TEST(OCRPipeline, OverwritingTheSourceIsRefusedBeforeAnythingIsOpened) {
    QTemporaryDir folder;
    const QString source = smallScan(folder.path(), "scan.pdf");
    OCRPipeline pipeline;
    const auto phases = runToEnd(pipeline, source, folder.filePath("SCAN.pdf"));
    ASSERT_EQ(phases.size(), 1);
    EXPECT_EQ(phases[0], Phase::failed(OCRError::outputOverwritesSource().description()));
}

TEST(OCRPipeline, TooManyPagesAreRefusedWithTheReason) {
    QTemporaryDir folder;
    const QString source = folder.filePath("long.pdf");
    {
        QPDF pdf;
        pdf.emptyPDF();
        QPDFPageDocumentHelper pages(pdf);
        for (int i = 0; i < 2001; ++i) {
            auto page = QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 100 100] >>");
            pages.addPage(QPDFPageObjectHelper(pdf.makeIndirectObject(page)), false);
        }
        QPDFWriter writer(pdf, QFile::encodeName(source).constData());
        writer.write();
    }
    OCRPipeline pipeline;
    const auto phases = runToEnd(pipeline, source, folder.filePath("long_searchable.pdf"));
    EXPECT_EQ(phases.last(), Phase::failed("This document has 2001 pages to process, over the 2000-page limit for a "
                                           "single job. Split it into smaller files and process the parts separately."));
    EXPECT_EQ(filesIn(folder.path()), QStringList{"long.pdf"});
}

TEST(OCRPipeline, SidecarThatCannotBeWrittenLeavesThePdfAndSaysWhy) {
    QTemporaryDir folder;
    const QString source = smallScan(folder.path(), "scan.pdf");
    // A folder where the sidecar should go makes the sidecar fail, as a full disk would.
    ASSERT_TRUE(QDir().mkdir(folder.filePath("scan_searchable.txt")));
    OCROptions options = recognitionOnly();
    options.writesTextSidecar = true;
    OCRPipeline pipeline;
    const auto phases = runToEnd(pipeline, source, folder.filePath("scan_searchable.pdf"), options);
    ASSERT_EQ(phases.last().kind, Phase::Kind::done);
    EXPECT_TRUE(QFile::exists(folder.filePath("scan_searchable.pdf")));
    EXPECT_FALSE(phases.last().summary.sidecarURL.has_value());
    ASSERT_TRUE(phases.last().summary.sidecarError.has_value());
    EXPECT_FALSE(phases.last().summary.sidecarError->isEmpty());
}

TEST(OCRPipeline, ImageSourcesLeaveNoTemporaryPdfOnSuccessOrFailure) {
    QTemporaryDir folder;
    QTemporaryDir temporary;
    const ScopedEnvironment temporaryFolder("TMPDIR", temporary.path().toLocal8Bit());
    const auto temporaryFiles = [&] { // also those in the process's private folder there
        QStringList files;
        for (QDirIterator it(temporary.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();) {
            files << it.next();
        }
        return files;
    };

    const QString image = folder.filePath("note.png");
    renderParagraph(QSize(900, 300), {"Harbour photographs"}, 50).save(image);
    OCRPipeline pipeline;
    EXPECT_EQ(runToEnd(pipeline, image, folder.filePath("note_searchable.pdf")).last().kind, Phase::Kind::done);
    EXPECT_TRUE(temporaryFiles().isEmpty());

    // The image is made, then the output cannot be written: the temporary PDF still goes.
    const QString missingFolder = folder.filePath("gone/note_searchable.pdf");
    const auto failed = runToEnd(pipeline, image, missingFolder);
    EXPECT_EQ(failed.last().kind, Phase::Kind::failed);
    EXPECT_TRUE(temporaryFiles().isEmpty());
}
